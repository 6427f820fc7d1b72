// The widget tests need one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // Offscreen unless asked otherwise: test discovery runs the program outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
