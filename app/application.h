#pragma once
// The program: the window, the facilities behind it, and the wiring of the
// window's events to their handlers.

#include "app/main_window.h"
#include "mail/mail_notification.h"
#include "monitor/host_sweep.h"
#include "monitor/monitoring.h"

#include <QString>

namespace app {

class Application {
public:
    // Creates the window (hidden) and raises its creation event, which loads
    // the settings from programDirectory.
    explicit Application(const QString& programDirectory);

    MainWindow& window() { return m_window; }
    monitor::Monitoring& monitoring() { return m_monitoring; }
    const QString& programDirectory() const { return m_programDirectory; }

    // The event handlers, one per wired event.
    void onCreated();     // MainWindow created
    void on按钮1Clicked(); // test mail
    void on按钮2Clicked(); // single check
    void on按钮3Clicked(); // start monitoring
    void on按钮4Clicked(); // save settings
    void on按钮5Clicked(); // stop monitoring
    void on时钟1Tick();    // monitoring tick

private:
    QString m_programDirectory;
    MainWindow m_window;
    mail::MailNotifier m_mail; // declared after the window: closes its session first at exit
    monitor::Sweeper m_sweeper;
    monitor::Monitoring m_monitoring;
};

} // namespace app
