#include "ui/shell/AccessibleWidgets.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPicture>
#include <QPointer>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

namespace {

// A caption as it is read: "&&" is a literal ampersand, a single one only
// marks the shortcut letter.
QString withoutMnemonic(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                out += text.at(++i);
            continue;
        }
        out += text.at(i);
    }
    return out;
}

// Read-only text offered to a reader: what a control shows, so that a
// reader can read it out and move through it. `shown` is the text.
class ShownText : public QAccessibleTextInterface {
public:
    explicit ShownText(QWidget *host) : m_host(host) {}
    virtual QString shown() const = 0;

    QString text(int startOffset, int endOffset) const override
    {
        const QString v = shown();
        startOffset = qBound(0, startOffset, int(v.size()));
        endOffset = endOffset < 0 ? int(v.size()) : qBound(startOffset, endOffset, int(v.size()));
        return v.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(shown().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int offset) const override
    {
        if (offset < 0 || offset >= characterCount())
            return {};
        // Near enough for a reader's highlight: one line from the left edge,
        // past a frame.
        const QFontMetrics fm(m_host->font());
        const QString v = shown();
        const int x = fm.horizontalAdvance(v.left(offset)) + 4;
        const QRect r(x, (m_host->height() - fm.height()) / 2, fm.horizontalAdvance(v.at(offset)),
                      fm.height());
        return r.translated(m_host->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QWidget *m_host;
};

class ComboBoxAccessible : public QAccessibleWidget, public ShownText {
public:
    explicit ComboBoxAccessible(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox), ShownText(box)
    {
        // A reader that follows the text hears the new choice.
        QObject::connect(box, &QComboBox::currentTextChanged, box,
                         [box, last = box->currentText()](const QString &now) mutable {
                             QAccessibleTextUpdateEvent event(box, 0, last, now);
                             QAccessible::updateAccessibility(&event);
                             last = now;
                         });
    }

    QComboBox *comboBox() const { return static_cast<QComboBox *>(object()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The list, and the edit box of an editable combo box.
    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable())
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->object() == comboBox()->view())
            return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
            return 1;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QLineEdit *edit = comboBox()->isEditable() ? comboBox()->lineEdit() : nullptr;
        if (edit && QRect(edit->mapToGlobal(QPoint(0, 0)), edit->size()).contains(x, y))
            return child(1);
        return nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        // An editable combo box takes the focus for its edit box.
        return comboBox()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            // The caption; the value only for a box that has none, so that no
            // box is silent.
            const QString name = QAccessibleWidget::text(t);
            return name.isEmpty() ? value() : name;
        }
        case QAccessible::Value:
            return value();
        case QAccessible::Accelerator: {
            const QString key = QAccessibleWidget::text(t);
            return key.isEmpty() ? QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText)
                                 : key;
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = comboBox()->view()->isVisible();
        s.editable = comboBox()->isEditable();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    QString shown() const override { return value(); }
    int cursorPosition() const override
    {
        return comboBox()->isEditable() ? comboBox()->lineEdit()->cursorPosition() : 0;
    }
    void setCursorPosition(int position) override
    {
        if (comboBox()->isEditable())
            comboBox()->lineEdit()->setCursorPosition(position);
    }

private:
    QString value() const
    {
        return comboBox()->isEditable() ? comboBox()->lineEdit()->text()
                                        : comboBox()->currentText();
    }
};

class GroupBoxAccessible : public QAccessibleWidget {
public:
    explicit GroupBoxAccessible(QGroupBox *box) : QAccessibleWidget(box, QAccessible::Grouping) {}

    QGroupBox *groupBox() const { return static_cast<QGroupBox *>(object()); }

    QAccessible::Role role() const override
    {
        return groupBox()->isCheckable() ? QAccessible::CheckBox : QAccessible::Grouping;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = groupBox()->isCheckable();
        s.checked = groupBox()->isChecked();
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            // Never the title of a group around this one.
            return groupBox()->accessibleName().isEmpty() ? withoutMnemonic(groupBox()->title())
                                                          : groupBox()->accessibleName();
        case QAccessible::Description:
            return groupBox()->accessibleDescription().isEmpty()
                       ? groupBox()->toolTip()
                       : groupBox()->accessibleDescription();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto rels = QAccessibleWidget::relations(match);
        // The title labels what the group holds.
        if ((match & QAccessible::Labelled) && !groupBox()->title().isEmpty()) {
            for (QObject *o : groupBox()->children()) {
                auto *kid = qobject_cast<QWidget *>(o);
                if (!kid || kid->isWindow())
                    continue;
                if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(kid))
                    rels.append({iface, QAccessible::Labelled});
            }
        }
        return rels;
    }
    QStringList actionNames() const override
    {
        QStringList actions = QAccessibleWidget::actionNames();
        if (groupBox()->isCheckable())
            actions.prepend(toggleAction());
        return actions;
    }
    void doAction(const QString &action) override
    {
        if (action == toggleAction() && groupBox()->isCheckable())
            groupBox()->setChecked(!groupBox()->isChecked());
        else
            QAccessibleWidget::doAction(action);
    }
};

// The caption of the label a caption label is the buddy of, or nothing.
QString captionOf(const QLabel *value)
{
    const QWidget *parent = value->parentWidget();
    if (!parent)
        return {};
    for (const QLabel *caption : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (caption->buddy() == value)
            return withoutMnemonic(caption->text());
    }
    return {};
}

class LabelAccessible : public QAccessibleWidget,
                        public QAccessibleImageInterface,
                        public ShownText {
public:
    explicit LabelAccessible(QLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText), ShownText(label)
    {}

    QLabel *label() const { return static_cast<QLabel *>(object()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ImageInterface)
            return static_cast<QAccessibleImageInterface *>(this);
        // The text a reader reads out where it reads a window's texts (a
        // message box's body among them).
        if (t == QAccessible::TextInterface && role() == QAccessible::StaticText)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::Role role() const override
    {
        if (!label()->pixmap().isNull() || !label()->picture().isNull())
            return QAccessible::Graphic;
        if (label()->movie())
            return QAccessible::Animation;
        return QAccessible::StaticText;
    }
    // What it shows, as plain text.
    QString shown() const override
    {
        QString shown = label()->text();
        if (label()->textFormat() == Qt::RichText ||
            (label()->textFormat() == Qt::AutoText && Qt::mightBeRichText(shown))) {
            QTextDocument doc;
            doc.setHtml(shown);
            shown = doc.toPlainText();
        }
        return label()->buddy() ? withoutMnemonic(shown) : shown;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (!label()->accessibleName().isEmpty())
            return label()->accessibleName();
        // What it shows, and nothing when it shows nothing: never the
        // caption of the control it labels or the title of its group. A
        // value is heard after the caption that labels it ("内部状態　：
        // 平常状態"), where it would be a bare figure.
        const QString value = shown();
        const QString caption = label()->buddy() ? QString() : captionOf(label());
        return caption.isEmpty() || value.isEmpty() ? value : caption + value;
    }
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto rels = QAccessibleWidget::relations(match);
        if (match & QAccessible::Labelled) {
            if (QAccessibleInterface *iface =
                    QAccessible::queryAccessibleInterface(label()->buddy()))
                rels.append({iface, QAccessible::Labelled});
        }
        return rels;
    }

    QString imageDescription() const override { return label()->toolTip(); }
    QSize imageSize() const override { return label()->pixmap().size(); }
    QPoint imagePosition() const override
    {
        return label()->pixmap().isNull() ? QPoint() : label()->mapToGlobal(QPoint(0, 0));
    }
};

QAccessibleInterface *programWidgets(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    // Asked for the most derived class first: answer for the classes meant,
    // whatever a subclass is called, and leave the rest to Qt.
    if (className == QLatin1String("QComboBox"))
        return new ComboBoxAccessible(static_cast<QComboBox *>(widget));
    if (className == QLatin1String("QGroupBox"))
        return new GroupBoxAccessible(static_cast<QGroupBox *>(widget));
    if (className == QLatin1String("QLabel"))
        return new LabelAccessible(static_cast<QLabel *>(widget));
    // Reached only by a widget of no class Qt presents (a dialog, a main
    // window, a frame are presented before): a plain widget.
    if (className == QLatin1String("QWidget") && widget->isWindow()) {
        switch (widget->windowType()) {
        case Qt::Dialog:
            return new QAccessibleWidget(widget, QAccessible::Dialog);
        case Qt::Window:
        case Qt::Tool:
        case Qt::SplashScreen:
            return new QAccessibleWidget(widget, QAccessible::Window);
        default:
            break;
        }
    }
    return nullptr;
}

// Qt tells of an edit box's caret and selection as the box takes the focus,
// before it tells of the focus itself (the box's focus-in handler runs
// first). A screen reader then takes the caret move for the focus change and
// says nothing of the box: every edit box reached by Tab was silent, or
// heard by its text alone. Those reports are held until the focus is told.
class FocusFirst : public QObject {
public:
    static FocusFirst &instance()
    {
        static FocusFirst one;
        return one;
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn && qobject_cast<QLineEdit *>(watched)) {
            m_entering = watched;
            // Told by then, or never: what is held goes out anyway.
            QTimer::singleShot(0, this, [this] { release(); });
        }
        return QObject::eventFilter(watched, event);
    }

    static void update(QAccessibleEvent *event)
    {
        FocusFirst &self = instance();
        const QAccessible::Event type = event->type();
        if (self.m_entering && event->object() == self.m_entering) {
            if (type == QAccessible::TextCaretMoved) {
                self.m_caret = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
                return;
            }
            if (type == QAccessible::TextSelectionChanged) {
                const auto *e = static_cast<QAccessibleTextSelectionEvent *>(event);
                self.m_selection = {e->selectionStart(), e->selectionEnd()};
                self.m_caret = e->cursorPosition();
                return;
            }
        }
        forward(event);
        if (type == QAccessible::Focus && event->object() == self.m_entering)
            self.release();
    }

private:
    // To the platform's bridge, as if no handler stood between.
    static void forward(QAccessibleEvent *event)
    {
        QAccessible::installUpdateHandler(nullptr);
        QAccessible::updateAccessibility(event);
        QAccessible::installUpdateHandler(&FocusFirst::update);
    }

    void release()
    {
        QObject *box = m_entering;
        m_entering = nullptr;
        if (box && m_selection.first >= 0) {
            QAccessibleTextSelectionEvent e(box, m_selection.first, m_selection.second);
            e.setCursorPosition(m_caret);
            forward(&e);
        }
        if (box && m_caret >= 0) {
            QAccessibleTextCursorEvent e(box, m_caret);
            forward(&e);
        }
        m_selection = {-1, -1};
        m_caret = -1;
    }

    QPointer<QObject> m_entering;
    QPair<int, int> m_selection{-1, -1};
    int m_caret = -1;
};

} // namespace

void installAccessibleWidgets()
{
    // Factories installed later are asked first, so this one comes before
    // Qt's own, which the application object installed.
    static const bool installed = [] {
        QAccessible::installFactory(programWidgets);
        QAccessible::installUpdateHandler(&FocusFirst::update);
        qApp->installEventFilter(&FocusFirst::instance());
        return true;
    }();
    Q_UNUSED(installed);
}
