// corvalin: the desktop program. See README.md for how to start it.
#include <QApplication>
#include <string>
#include <vector>

#include "app/pagewell_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Corvalin");
    QApplication::setOrganizationName("Marbleoak");
    QApplication::setDesktopFileName("corvalin");
    // Qt has taken its own switches out of argv.
    const QStringList arguments = QApplication::arguments();
    std::vector<std::string> args;
    for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toStdString());
    corvalin::CPagewellApp app;
    if (!app.InitInstance(args, corvalin::CPagewellApp::Options())) return 1;
    return QApplication::exec();
}
