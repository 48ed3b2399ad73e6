// The window tests: every QtTest class of the desktop program in one run,
// offscreen, with a program home of their own.
#include <QApplication>
#include <QtTest>
#include <cstdlib>

#include "tests/support/temp_dir.h"

int RunDialogsTests(int argc, char** argv);
int RunExportDialogTests(int argc, char** argv);
int RunImportTests(int argc, char** argv);
int RunMainFrameTests(int argc, char** argv);
int RunStartupTests(int argc, char** argv);
int RunViewsTests(int argc, char** argv);

int main(int argc, char** argv) {
    fwtest::TempDir home;
    ::setenv("CORVALIN_HOME", home.path().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int failed = 0;
    failed += RunMainFrameTests(argc, argv);
    failed += RunExportDialogTests(argc, argv);
    failed += RunImportTests(argc, argv);
    failed += RunDialogsTests(argc, argv);
    failed += RunStartupTests(argc, argv);
    failed += RunViewsTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
