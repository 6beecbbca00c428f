#include "app/application.h"

#include <QApplication>
#include <QDir>

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    const QString programDirectory = QCoreApplication::applicationDirPath();
    QDir::setCurrent(programDirectory);

    app::Application program(programDirectory);
    program.window().show();
    return toolkit.exec();
}
