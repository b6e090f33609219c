# What the dialog layer's installed targets need: Qt 6 Widgets and PrintSupport (printers, PDF).
find_dependency(Qt6 6.4 COMPONENTS Core Gui Widgets PrintSupport)
