#include "app/application.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    // The window's caption is empty; without this the toolkit shows the
    // program file's name in its place.
    QGuiApplication::setApplicationDisplayName(QStringLiteral(""));
    const QString programDirectory = QCoreApplication::applicationDirPath();
    QDir::setCurrent(programDirectory);

    app::Application program(programDirectory);
    program.window().show();
    return toolkit.exec();
}
