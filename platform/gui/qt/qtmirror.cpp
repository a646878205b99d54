// The widgets that show windows, dialogs and controls, on the Qt thread.
#include "qtmirror.h"
#include "windows/internalmsg.h"
#include "qtthread.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <commctrl.h>

#include <unordered_map>

namespace twgui {
namespace {

// Qt thread only. Built with the library, so it outlives the Qt thread, which
// process exit stops first.
std::unordered_map<HWND, QPointer<QWidget>> g_widgets;

std::unordered_map<HWND, QPointer<QWidget>> &Widgets()
{
    return g_widgets;
}

QWidget *WidgetOf(HWND hwnd)
{
    auto it = Widgets().find(hwnd);
    return it == Widgets().end() ? nullptr : it->second.data();
}

QString Q(const std::string &s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The virtual-key code of a Qt key; 0 for keys the window system does not report.
WPARAM VirtualKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    default: return 0;
    }
}

// The window rectangle for a top-level widget's geometry (the inverse of the
// geometry the owning thread asks for).
RECT WindowRectForWidget(const WindowRecord &r, const QRect &g)
{
    RECT client = ClientRectOf(r);
    RECT window = r.rect;
    POINT origin = ClientOrigin(r);
    LONG menu = r.menu != nullptr ? kMenuBar : 0;
    window.left = g.x() - origin.x;
    window.top = g.y() - origin.y + menu;
    window.right = window.left + (r.rect.right - r.rect.left) + (g.width() - client.right);
    window.bottom = window.top + (r.rect.bottom - r.rect.top) + (g.height() - menu - client.bottom);
    return window;
}

// The user moved or sized a window: record it, let the owner send WM_MOVE/WM_SIZE.
void ReportUserGeometry(HWND hwnd, const QRect &g)
{
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        WindowRecord *r = LockedRecord(hwnd);
        if (r == nullptr)
            return;
        RECT w = WindowRectForWidget(*r, g);
        if (w.left == r->rect.left && w.top == r->rect.top && w.right == r->rect.right && w.bottom == r->rect.bottom)
            return;
        r->rect = w;
    }
    PostMessageA(hwnd, kMsgGeometryChanged, 0, 0);
}

void PostCommand(HWND parent, int id, int code, HWND control)
{
    PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

class ClientView : public QWidget {
public:
    ClientView(HWND hwnd, QWidget *parent) : QWidget(parent), m_hwnd(hwnd)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void SetImage(const QImage &image)
    {
        m_image = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.drawImage(0, 0, m_image);
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        QPoint pt = e->position().toPoint();
        UINT msg = e->button() == Qt::LeftButton ? WM_LBUTTONDOWN : e->button() == Qt::RightButton ? WM_RBUTTONDOWN : 0;
        if (msg != 0)
            PostMessageA(m_hwnd, msg, msg == WM_LBUTTONDOWN ? 1 : 2, MAKELPARAM(pt.x(), pt.y()));
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        QPoint pt = e->position().toPoint();
        if (e->button() == Qt::LeftButton)
            PostMessageA(m_hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x(), pt.y()));
    }

private:
    HWND m_hwnd;
    QImage m_image;
};

class TopLevelWidget : public QWidget {
public:
    explicit TopLevelWidget(HWND hwnd) : m_hwnd(hwnd)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_client = new ClientView(hwnd, this);
        layout->addWidget(m_client, 1);
        setFocusProxy(m_client);
    }
    ClientView *Client() { return m_client; }

    void SetMenu(const std::vector<MirrorMenuItem> &items)
    {
        if (m_menuBar != nullptr) {
            layout()->removeWidget(m_menuBar);
            delete m_menuBar;
            m_menuBar = nullptr;
        }
        m_actions.clear();
        if (items.empty())
            return;
        m_menuBar = new QMenuBar(this);
        m_menuBar->setNativeMenuBar(false);
        m_menuBar->setFixedHeight(kMenuBar);
        for (const MirrorMenuItem &item : items)
            AddItem(m_menuBar, nullptr, item);
        static_cast<QVBoxLayout *>(layout())->insertWidget(0, m_menuBar);
    }
    QAction *Action(UINT id)
    {
        auto it = m_actions.find(id);
        return it == m_actions.end() ? nullptr : it->second;
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        e->ignore();
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        if (WPARAM vk = VirtualKey(e->key()))
            PostMessageA(m_hwnd, WM_KEYDOWN, vk, 1);
    }
    void resizeEvent(QResizeEvent *e) override
    {
        if (e->spontaneous())
            ReportUserGeometry(m_hwnd, geometry());
    }
    void moveEvent(QMoveEvent *e) override
    {
        if (e->spontaneous())
            ReportUserGeometry(m_hwnd, geometry());
    }

private:
    void AddItem(QMenuBar *bar, QMenu *menu, const MirrorMenuItem &item)
    {
        if (item.separator) {
            if (menu != nullptr)
                menu->addSeparator();
            return;
        }
        if (!item.children.empty() || (item.id == 0 && !item.text.empty() && menu == nullptr)) {
            QMenu *sub = bar != nullptr ? bar->addMenu(Q(item.text)) : menu->addMenu(Q(item.text));
            sub->setEnabled(!item.grayed);
            for (const MirrorMenuItem &child : item.children)
                AddItem(nullptr, sub, child);
            return;
        }
        QAction *a = bar != nullptr ? bar->addAction(Q(item.text)) : menu->addAction(Q(item.text));
        a->setCheckable(true);
        a->setChecked(item.checked);
        a->setEnabled(!item.grayed);
        UINT id = item.id;
        HWND hwnd = m_hwnd;
        QObject::connect(a, &QAction::triggered, a, [hwnd, id, a] {
            // A checkable action toggles itself; the window decides the check mark.
            a->setChecked(!a->isChecked());
            PostMessageA(hwnd, WM_COMMAND, id, 0);
        });
        m_actions[id] = a;
    }

    HWND m_hwnd;
    ClientView *m_client = nullptr;
    QMenuBar *m_menuBar = nullptr;
    std::unordered_map<UINT, QAction *> m_actions;
};

class DialogWidget : public QDialog {
public:
    DialogWidget(HWND hwnd, QWidget *owner) : QDialog(owner), m_hwnd(hwnd) {}

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape) {
            PostCommand(m_hwnd, IDCANCEL, BN_CLICKED, GetDlgItem(m_hwnd, IDCANCEL));
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // The focused push button, else the default one, if it can be pressed.
            QPushButton *button = qobject_cast<QPushButton *>(focusWidget());
            if (button == nullptr || !button->isVisible() || !button->isEnabled())
                button = DefaultButton();
            if (button != nullptr)
                button->click();
            return;
        }
    }
    void closeEvent(QCloseEvent *e) override
    {
        e->ignore();
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    }
    void reject() override {}

private:
    QPushButton *DefaultButton()
    {
        for (QPushButton *b : findChildren<QPushButton *>())
            if (b->isDefault() && b->isVisible() && b->isEnabled())
                return b;
        return nullptr;
    }
    HWND m_hwnd;
};

QWidget *CreateControl(HWND dialog, const MirrorControl &c, QWidget *parent)
{
    QWidget *w = nullptr;
    HWND hwnd = c.hwnd;
    int id = c.id;
    switch (c.type) {
    case ControlType::Button: {
        auto *b = new QPushButton(Q(c.text), parent);
        b->setAutoDefault(false);
        b->setDefault(c.isDefault);
        b->setFocusPolicy((c.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::NoFocus);
        QObject::connect(b, &QPushButton::clicked, b, [dialog, hwnd, id] { PostCommand(dialog, id, BN_CLICKED, hwnd); });
        w = b;
        break;
    }
    case ControlType::Edit: {
        auto *e = new QLineEdit(Q(c.text), parent);
        e->setFrame((c.style & WS_BORDER) != 0);
        QObject::connect(e, &QLineEdit::textEdited, e, [dialog, hwnd, id](const QString &text) {
            {
                std::lock_guard<std::mutex> lock(WindowLock());
                if (WindowRecord *r = LockedRecord(hwnd))
                    r->text = text.toStdString();
            }
            PostCommand(dialog, id, EN_CHANGE, hwnd);
        });
        w = e;
        break;
    }
    case ControlType::ComboBox: {
        auto *box = new QComboBox(parent);
        QObject::connect(box, QOverload<int>::of(&QComboBox::activated), box, [dialog, hwnd, id](int index) {
            {
                std::lock_guard<std::mutex> lock(WindowLock());
                if (WindowRecord *r = LockedRecord(hwnd))
                    r->curSel = index;
            }
            PostCommand(dialog, id, CBN_SELCHANGE, hwnd);
        });
        w = box;
        break;
    }
    case ControlType::Progress: {
        auto *bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        w = bar;
        break;
    }
    default: {
        auto *label = new QLabel(Q(c.text), parent);
        label->setWordWrap((c.style & SS_TYPEMASK) == SS_LEFT);
        label->setAlignment(Qt::AlignTop | ((c.style & SS_TYPEMASK) == SS_CENTER ? Qt::AlignHCenter
                                            : (c.style & SS_TYPEMASK) == SS_RIGHT  ? Qt::AlignRight
                                                                                   : Qt::AlignLeft));
        w = label;
        break;
    }
    }
    QRect g = c.geometry;
    if (c.type == ControlType::ComboBox)
        g.setHeight(std::min(g.height(), w->sizeHint().height()));
    w->setGeometry(g);
    w->setEnabled(c.enabled);
    w->setVisible(c.visible);
    Widgets()[hwnd] = w;
    return w;
}

void Create(const MirrorWindow &m)
{
    QWidget *owner = WidgetOf(m.owner);
    QWidget *widget = nullptr;
    if (m.dialog) {
        auto *d = new DialogWidget(m.hwnd, owner);
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (m.systemMenu)
            flags |= Qt::WindowCloseButtonHint;
        d->setWindowFlags(flags);
        if (owner != nullptr)
            d->setWindowModality(Qt::WindowModal);
        QFont font(Q(m.fontFamily));
        font.setPixelSize(m.fontPixels);
        d->setFont(font);
        for (const MirrorControl &c : m.controls)
            CreateControl(m.hwnd, c, d);
        d->setFixedSize(m.geometry.size());
        widget = d;
    } else {
        auto *t = new TopLevelWidget(m.hwnd);
        t->SetMenu(m.menu);
        if (!m.systemMenu)
            t->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        if (!m.minimum.isEmpty())
            t->setMinimumSize(m.minimum);
        widget = t;
    }
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    widget->setWindowTitle(Q(m.title));
    if (!m.icon.isNull())
        widget->setWindowIcon(QIcon(QPixmap::fromImage(m.icon)));
    widget->setGeometry(m.geometry);
    Widgets()[m.hwnd] = widget;
}

template <class Fn>
void OnQt(HWND hwnd, Fn fn)
{
    PostToQtThread([hwnd, fn] {
        if (QWidget *w = WidgetOf(hwnd))
            fn(w);
    });
}

} // namespace

void MirrorCreate(const MirrorWindow &window)
{
    PostToQtThread([window] { Create(window); });
}

void MirrorDestroy(HWND hwnd)
{
    PostToQtThread([hwnd] {
        auto it = Widgets().find(hwnd);
        if (it == Widgets().end())
            return;
        QPointer<QWidget> w = it->second;
        Widgets().erase(it);
        if (w) {
            // Controls go with their dialog; forget their entries too.
            for (auto c = Widgets().begin(); c != Widgets().end();) {
                if (c->second && w->isAncestorOf(c->second))
                    c = Widgets().erase(c);
                else
                    ++c;
            }
            w->hide();
            w->deleteLater();
        }
    });
}

void MirrorSetGeometry(HWND hwnd, const QRect &geometry)
{
    OnQt(hwnd, [geometry](QWidget *w) { w->setGeometry(geometry); });
}

void MirrorSetMinimumSize(HWND hwnd, const QSize &size)
{
    OnQt(hwnd, [size](QWidget *w) { w->setMinimumSize(size); });
}

void MirrorShow(HWND hwnd, bool visible)
{
    OnQt(hwnd, [visible](QWidget *w) { w->setVisible(visible); });
}

void MirrorEnable(HWND hwnd, bool enabled)
{
    OnQt(hwnd, [enabled](QWidget *w) { w->setEnabled(enabled); });
}

void MirrorRaise(HWND hwnd)
{
    OnQt(hwnd, [](QWidget *w) {
        w->raise();
        w->activateWindow();
    });
}

void MirrorFocus(HWND hwnd)
{
    OnQt(hwnd, [](QWidget *w) { w->setFocus(Qt::OtherFocusReason); });
}

void MirrorSetText(HWND hwnd, const std::string &text)
{
    OnQt(hwnd, [text](QWidget *w) {
        if (w->isWindow())
            w->setWindowTitle(Q(text));
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            e->setText(Q(text));
        else if (auto *b = qobject_cast<QPushButton *>(w))
            b->setText(Q(text));
        else if (auto *l = qobject_cast<QLabel *>(w))
            l->setText(Q(text));
    });
}

void MirrorSetIcon(HWND hwnd, const QImage &icon)
{
    if (icon.isNull())
        return;
    OnQt(hwnd, [icon](QWidget *w) { w->setWindowIcon(QIcon(QPixmap::fromImage(icon))); });
}

void MirrorSetMenu(HWND hwnd, const std::vector<MirrorMenuItem> &menu)
{
    OnQt(hwnd, [menu](QWidget *w) {
        if (auto *t = dynamic_cast<TopLevelWidget *>(w))
            t->SetMenu(menu);
    });
}

void MirrorMenuItemState(HWND hwnd, UINT id, bool grayed, bool checked)
{
    OnQt(hwnd, [id, grayed, checked](QWidget *w) {
        if (auto *t = dynamic_cast<TopLevelWidget *>(w))
            if (QAction *a = t->Action(id)) {
                a->setEnabled(!grayed);
                a->setChecked(checked);
            }
    });
}

void MirrorSetItems(HWND combo, const std::vector<std::string> &items, int curSel)
{
    OnQt(combo, [items, curSel](QWidget *w) {
        if (auto *box = qobject_cast<QComboBox *>(w)) {
            QSignalBlocker block(box);
            box->clear();
            for (const std::string &item : items)
                box->addItem(Q(item));
            box->setCurrentIndex(curSel);
        }
    });
}

void MirrorSetProgress(HWND progress, int min, int max, int pos)
{
    OnQt(progress, [min, max, pos](QWidget *w) {
        if (auto *bar = qobject_cast<QProgressBar *>(w)) {
            bar->setRange(min, max > min ? max : min + 1);
            bar->setValue(std::clamp(pos, min, max));
        }
    });
}

void MirrorPresent(HWND hwnd, const QImage &image)
{
    OnQt(hwnd, [image](QWidget *w) {
        if (auto *t = dynamic_cast<TopLevelWidget *>(w))
            t->Client()->SetImage(image);
    });
}

bool MirrorTriggerMenu(HWND hwnd, UINT id)
{
    bool found = false;
    RunOnQtThread([&] {
        if (auto *t = dynamic_cast<TopLevelWidget *>(WidgetOf(hwnd)))
            if (QAction *a = t->Action(id)) {
                found = true;
                if (a->isEnabled())
                    a->trigger();
            }
    });
    return found;
}

bool MirrorClick(HWND button)
{
    bool clicked = false;
    RunOnQtThread([&] {
        auto *b = qobject_cast<QPushButton *>(WidgetOf(button));
        if (b != nullptr && b->isVisible() && b->isEnabled()) {
            b->click();
            clicked = true;
        }
    });
    return clicked;
}

bool MirrorUserText(HWND control, const std::string &text)
{
    bool done = false;
    RunOnQtThread([&] {
        QWidget *w = WidgetOf(control);
        if (auto *e = qobject_cast<QLineEdit *>(w)) {
            e->setFocus(Qt::OtherFocusReason);
            e->selectAll();
            e->insert(Q(text));          // emits textEdited, as typing does
            done = true;
        } else if (auto *box = qobject_cast<QComboBox *>(w)) {
            int index = box->findText(Q(text));
            if (index >= 0) {
                box->setCurrentIndex(index);
                emit box->activated(index);
                done = true;
            }
        }
    });
    return done;
}

void MirrorUserResize(HWND hwnd, int width, int height)
{
    RunOnQtThread([&] {
        if (QWidget *w = WidgetOf(hwnd)) {
            WindowRecord r;
            if (!SnapshotRecord(hwnd, r))
                return;
            RECT client = ClientRectOf(r);
            int menu = r.menu != nullptr ? kMenuBar : 0;
            // The widget holds the client area and the menu bar; the frame is the rest.
            int frameW = (r.rect.right - r.rect.left) - client.right;
            int frameH = (r.rect.bottom - r.rect.top) - client.bottom - menu;
            w->resize(width - frameW, height - frameH);
            ReportUserGeometry(hwnd, w->geometry());
        }
    });
}

QImage MirrorGrab(HWND hwnd)
{
    QImage image;
    RunOnQtThread([&] {
        if (QWidget *w = WidgetOf(hwnd)) {
            if (w->isVisible())
                image = w->grab().toImage();
        }
    });
    return image;
}

DialogFont DialogFontFor(const std::string &face, int pointSize)
{
    (void)face;   // every dialog font is the one sans font this platform ships with
    DialogFont f;
    f.family = "DejaVu Sans";
    f.pixels = std::max(8, (pointSize * 96 + 36) / 72);
    RunOnQtThread([&] {
        QFont font(Q(f.family));
        font.setPixelSize(f.pixels);
        QFontMetrics fm(font);
        int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        f.baseX = (width / 26 + 1) / 2;
        f.baseY = fm.height();
    });
    return f;
}

} // namespace twgui
