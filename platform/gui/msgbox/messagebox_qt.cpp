#include "messagebox_qt.h"
#include "qt/qtthread.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <map>
#include <memory>

namespace twgui {
namespace {

QMessageBox::StandardButton StandardButtonFor(int id)
{
    switch (id) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    default: return QMessageBox::NoButton;
    }
}

QMessageBox::Icon QtIcon(MessageBoxIcon icon)
{
    switch (icon) {
    case MessageBoxIcon::Error: return QMessageBox::Critical;
    case MessageBoxIcon::Warning: return QMessageBox::Warning;
    case MessageBoxIcon::Information: return QMessageBox::Information;
    case MessageBoxIcon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
    }
}

// A box that answers once. Qt would let Esc and the close box press "No" or
// "Abort"; here they answer only where Windows allows it.
//
// The answer goes out only once the box is destroyed: by then Qt has created
// whatever process-wide objects the box needed and the exit hook is registered
// after them, so a caller that ends the process right away cannot race Qt's own
// exit handlers against this thread.
class PlatformMessageBox : public QMessageBox {
public:
    PlatformMessageBox(const MessageBoxStyle &style, std::function<void(int)> deliver)
        : m_style(style), m_outcome(std::make_shared<Outcome>())
    {
        m_outcome->deliver = std::move(deliver);
        // Runs in ~QObject, after the widget parts are gone; it must not touch this.
        connect(this, &QObject::destroyed, [outcome = m_outcome] {
            RefreshExitHook();
            outcome->deliver(outcome->answer);
        });
    }

    void AddButtons()
    {
        for (int id : m_style.buttons) {
            QPushButton *button = addButton(StandardButtonFor(id));
            m_ids[button] = id;
            if (id == m_style.defaultButton)
                setDefaultButton(button);
            if (id == m_style.closeAnswer)
                setEscapeButton(button);
        }
        connect(this, &QDialog::finished, this, [this](int) {
            auto it = m_ids.find(clickedButton());
            m_outcome->answer = it != m_ids.end() ? it->second : m_style.closeAnswer;
            deleteLater();
        });
    }

    // The process is ending: the caller gets 0 and waits for the end, even if a
    // button was pressed just before.
    void Abandon() { m_outcome->answer = 0; }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (m_style.closeAnswer == 0) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && m_style.closeAnswer == 0) {
            event->ignore();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

private:
    struct Outcome {
        std::function<void(int)> deliver;
        int answer = 0; // 0 until a button is pressed: the box was closed by the Qt thread ending
    };
    MessageBoxStyle m_style;
    std::shared_ptr<Outcome> m_outcome;
    std::map<QAbstractButton *, int> m_ids;
};

// Deletes the boxes still open when the Qt thread ends, answering their callers.
// They are found among the top-level widgets: a static list would already be
// destroyed when this runs at process exit.
void CloseOpenBoxes()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = dynamic_cast<PlatformMessageBox *>(widget)) {
            box->Abandon();
            std::unique_ptr<PlatformMessageBox> owned(box); // answers the waiting caller
        }
    }
}

} // namespace

void ShowQtMessageBox(const std::string &caption, const std::string &text, const MessageBoxStyle &style,
                      std::function<void(int)> deliver)
{
    static bool exitRegistered = false;
    if (!exitRegistered) {
        AtQtThreadExit(CloseOpenBoxes);
        exitRegistered = true;
    }
    auto box = std::make_unique<PlatformMessageBox>(style, std::move(deliver));
    box->setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    // Plain text, as Windows shows it: text from a peer must not be read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    box->setIcon(QtIcon(style.icon));
    box->AddButtons();
    // Each box is modeless towards the others, so boxes from several threads can be
    // open at once and each answers on its own.
    box->setWindowModality(Qt::NonModal);
    box.release()->show();
}

} // namespace twgui
