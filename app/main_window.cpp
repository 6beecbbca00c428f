#include "app/main_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSvgRenderer>
#include <limits>

namespace app {
namespace {

QIcon programIcon() {
    QSvgRenderer svg(QStringLiteral(":/app/icon.svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter painter(&pm);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// Selection is hidden while a box does not have the focus.
void hideInactiveSelection(QWidget* edit) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Inactive, QPalette::Base));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Inactive, QPalette::Text));
    edit->setPalette(pal);
}

void setupEdit(QWidget* edit) {
    QPalette pal = edit->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    edit->setPalette(pal);
    hideInactiveSelection(edit);
}

QPlainTextEdit* multiLineBox(QWidget* parent, const char* name, QRect geometry) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setGeometry(geometry);
    QFont font = edit->font();
    font.setPointSize(9); // 12 pixels at 96 dots per inch
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    edit->setFont(font);
    edit->setFrameShape(QFrame::StyledPanel);
    edit->setFrameShadow(QFrame::Sunken);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->setTabChangesFocus(true);
    setupEdit(edit);
    return edit;
}

QLineEdit* singleLineBox(QWidget* parent, const char* name, QRect geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setEchoMode(QLineEdit::Normal);
    edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Raised to one line of its font plus its edges when the given height is too small.
    const int oneLine = edit->fontMetrics().height() + 4;
    geometry.setHeight(std::max(geometry.height(), oneLine));
    edit->setGeometry(geometry);
    setupEdit(edit);
    return edit;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* box = new QGroupBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setAlignment(Qt::AlignHCenter);
    box->setGeometry(geometry);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const char* caption, QRect geometry, QWidget* buddy) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    l->setObjectName(QString::fromUtf8(name));
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setWordWrap(false);
    l->setGeometry(geometry);
    l->setBuddy(buddy);
    buddy->setAccessibleName(l->text());
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setGeometry(geometry);
    return b;
}

} // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString());
    setWindowIcon(programIcon());
    setFixedSize(kClientWidth, kClientHeight);
    // Group boxes as the platform draws them: the frame line runs through the
    // middle of the centred caption, so that the controls inside start below it.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top center;"
                                 " padding: 0px 2px; top: -1px; }"));

    分组框1 = groupBox(this, "分组框1", "地址列表", {16, 24, 144, 328});
    编辑框1 = multiLineBox(分组框1, "编辑框1", {11, 24, 120, 296});
    编辑框1->setAccessibleName(分组框1->title());

    分组框2 = groupBox(this, "分组框2", "发件箱设置", {176, 24, 224, 80});
    编辑框2 = singleLineBox(分组框2, "编辑框2", {64, 13, 136, 16});
    标签1 = label(分组框2, "标签1", "服务器", {16, 13, 40, 16}, 编辑框2);
    编辑框3 = singleLineBox(分组框2, "编辑框3", {64, 32, 136, 16});
    标签2 = label(分组框2, "标签2", "账号", {16, 32, 40, 16}, 编辑框3);
    编辑框4 = singleLineBox(分组框2, "编辑框4", {64, 51, 136, 16});
    标签3 = label(分组框2, "标签3", "密码", {16, 51, 40, 16}, 编辑框4);

    分组框3 = groupBox(this, "分组框3", "收件箱", {176, 112, 224, 40});
    编辑框5 = singleLineBox(分组框3, "编辑框5", {64, 16, 136, 16});
    标签4 = label(分组框3, "标签4", "收件箱", {16, 16, 40, 16}, 编辑框5);

    选择框1 = new QCheckBox(QStringLiteral("启用邮件"), this);
    选择框1->setObjectName(QStringLiteral("选择框1"));
    选择框1->setGeometry(179, 160, 69, 24);
    按钮1 = button(this, "按钮1", "发件测试", {252, 159, 68, 24});
    按钮4 = button(this, "按钮4", "保存", {330, 159, 68, 24});

    分组框4 = groupBox(this, "分组框4", "故障IP列表", {176, 192, 224, 120});
    编辑框6 = multiLineBox(分组框4, "编辑框6", {8, 16, 208, 96});
    编辑框6->setAccessibleName(分组框4->title());

    按钮2 = button(this, "按钮2", "单次检测", {178, 326, 72, 24});
    按钮3 = button(this, "按钮3", "循环监控", {256, 326, 72, 24});
    按钮5 = button(this, "按钮5", "停止监控", {337, 326, 72, 24});

    时钟1.setObjectName(QStringLiteral("时钟1"));

    // Tab order; Qt's focus chain wraps around at both ends.
    QWidget* order[] = {编辑框1, 编辑框2, 编辑框3, 编辑框4, 编辑框5, 按钮1, 按钮2, 按钮3, 编辑框6, 选择框1, 按钮4, 按钮5};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    setTabOrder(order[std::size(order) - 1], order[0]);
    for (QWidget* w : order)
        w->setFocusPolicy(Qt::StrongFocus);
    编辑框1->setFocus(Qt::OtherFocusReason);

    // Esc without modifiers closes the window from any control.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &QWidget::close);

    m_box1 = platform::MultiLineTextBox(编辑框1);
    m_box2 = platform::LineTextBox(编辑框2);
    m_box3 = platform::LineTextBox(编辑框3);
    m_box4 = platform::LineTextBox(编辑框4);
    m_box5 = platform::LineTextBox(编辑框5);
    m_box6 = platform::MultiLineTextBox(编辑框6);
    m_check1 = platform::WidgetCheckBox(选择框1);
    m_controls = {&m_box1, &m_box2, &m_box3, &m_box4, &m_box5, &m_box6, &m_check1, &时钟1, &m_messageBox};
}

MainWindow::~MainWindow() = default;

void MainWindow::showEvent(QShowEvent* event) {
    if (!m_centred) {
        m_centred = true;
        centreOnScreen();
    }
    QWidget::showEvent(event);
}

void MainWindow::centreOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame is not known before the window manager has drawn it; centre
    // the outer window as if its frame were the usual few pixels and a title bar.
    const QSize outer(kClientWidth + 6, kClientHeight + 26);
    move(area.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

} // namespace app
