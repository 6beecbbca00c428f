#include "app/application.h"

#include "settings/settings.h"

#include <QPushButton>

namespace app {

Application::Application(const QString& programDirectory)
    : m_programDirectory(programDirectory), m_mail(m_window.controls()), m_sweeper(m_window.controls()),
      m_monitoring(
          m_window.controls(), [this] { m_sweeper.HostSweep(); },
          [this](const platform::Text& body) { return m_mail.SendMonitorMail(body); }) {
    QObject::connect(m_window.按钮1, &QPushButton::clicked, [this] { on按钮1Clicked(); });
    QObject::connect(m_window.按钮2, &QPushButton::clicked, [this] { on按钮2Clicked(); });
    QObject::connect(m_window.按钮3, &QPushButton::clicked, [this] { on按钮3Clicked(); });
    QObject::connect(m_window.按钮4, &QPushButton::clicked, [this] { on按钮4Clicked(); });
    QObject::connect(m_window.按钮5, &QPushButton::clicked, [this] { on按钮5Clicked(); });
    m_window.时钟1.onTick = [this] { on时钟1Tick(); };
    onCreated();
}

void Application::onCreated() { settings::loadSettings(m_window.controls(), m_programDirectory); }

void Application::on按钮1Clicked() { m_mail.testMail(); }

void Application::on按钮2Clicked() { m_sweeper.singleCheck(); }

void Application::on按钮3Clicked() { m_monitoring.start(); }

void Application::on按钮4Clicked() { settings::saveSettings(m_window.controls(), m_programDirectory); }

void Application::on按钮5Clicked() { m_monitoring.stop(); }

void Application::on时钟1Tick() { m_monitoring.tick(); }

} // namespace app
