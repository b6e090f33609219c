# What the view layer's installed targets need: Qt 6 (fonts, painting, the clipboard; SVG for the
# gutter's built-in images).
find_dependency(Qt6 6.4 COMPONENTS Core Gui Widgets Svg)
