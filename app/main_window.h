#pragma once
// The main window and its controls. The controls are the program's data;
// their form names are also their object names.

#include "platform/controls.h"
#include "platform/timer.h"
#include "platform/toolkit.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace app {

class MainWindow final : public QWidget {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    platform::Controls& controls() { return m_controls; }

    // The client area: large enough for every control at its coordinates.
    static constexpr int kClientWidth = 414;
    static constexpr int kClientHeight = 368;

    QGroupBox* 分组框1;
    QPlainTextEdit* 编辑框1;
    QGroupBox* 分组框2;
    QLabel* 标签1;
    QLineEdit* 编辑框2;
    QLabel* 标签2;
    QLineEdit* 编辑框3;
    QLabel* 标签3;
    QLineEdit* 编辑框4;
    QGroupBox* 分组框3;
    QLabel* 标签4;
    QLineEdit* 编辑框5;
    QCheckBox* 选择框1;
    QPushButton* 按钮1;
    QPushButton* 按钮4;
    QGroupBox* 分组框4;
    QPlainTextEdit* 编辑框6;
    QPushButton* 按钮2;
    QPushButton* 按钮3;
    QPushButton* 按钮5;
    platform::QtTimer 时钟1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void centreOnScreen();

    platform::MultiLineTextBox m_box1{nullptr};
    platform::LineTextBox m_box2{nullptr}, m_box3{nullptr}, m_box4{nullptr}, m_box5{nullptr};
    platform::MultiLineTextBox m_box6{nullptr};
    platform::WidgetCheckBox m_check1{nullptr};
    platform::WidgetMessageBox m_messageBox;
    platform::Controls m_controls;
    bool m_centred = false;
};

} // namespace app
