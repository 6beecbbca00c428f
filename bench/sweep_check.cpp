// sweep_check HOSTS_FILE FAULTS_FILE
//
// One single check through the real window, offscreen: loads the host list
// (one per line) into 编辑框1, clicks 按钮2, writes what 编辑框6 then shows
// to FAULTS_FILE and prints "click_s=<seconds> peak_kb=<max RSS>". Run it
// inside a network namespace of its own (bench/sweep.sh does).

#include "app/application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s HOSTS_FILE FAULTS_FILE\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QFile in(QString::fromLocal8Bit(argv[1]));
    QFile out(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir dir;
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || !dir.isValid()) {
        std::fprintf(stderr, "cannot open the files\n");
        return 1;
    }
    app::Application program(dir.path());
    program.window().编辑框1->setPlainText(QString::fromLatin1(in.readAll()).trimmed());

    QElapsedTimer clock;
    clock.start();
    program.window().按钮2->click();
    const qint64 ns = clock.nsecsElapsed();

    out.write(program.window().编辑框6->toPlainText().toLatin1());
    out.write("\n");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("click_s=%.3f peak_kb=%ld\n", double(ns) / 1e9, usage.ru_maxrss);
    return 0;
}
