// The dialogs' tests run on Qt's offscreen platform, with one application object for them all.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Headless unless the caller asks for a real display.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);  // strips the --gtest_ options before Qt sees argv
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
