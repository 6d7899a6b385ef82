#pragma once

#include <QFrame>
#include <QList>
#include <QString>

#include <functional>

class PageWidget;
class QListWidget;

// One line of the completion list: what it shows and the text a pick puts into the box.
struct CompletionChoice {
    QString shown;
    QString taken;
};

// The list under the box the clerk types in: what the box offers for the text typed so far.
// Down and Up move through it, Enter or a click takes the line, Esc closes it; the box's
// text changes only by a pick, and a pick is undone in the box like typing.
class CompletionPopup : public QFrame {
    Q_OBJECT
public:
    // Answers from memory: it runs on every keystroke.
    using Source = std::function<QList<CompletionChoice>(int box, const QString& typed)>;
    static constexpr int ShownRows = 8;

    CompletionPopup(PageWidget& page, Source source);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void typed(int box);
    bool answerKey(int box, QKeyEvent& key);
    void take(int row);
    void place(QWidget& box);
    void dismiss();

    PageWidget& m_page;
    Source m_source;
    QListWidget* m_list = nullptr;
    QList<CompletionChoice> m_choices;
    int m_box = -1;
    // The multi-line box a key or an input method has just gone to: its next text change
    // is the clerk's typing, not a record being loaded.
    int m_typingBox = -1;
    bool m_taking = false;
};
