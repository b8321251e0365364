#pragma once
// Replaces the application's message box for the lifetime of the object:
// records every box and answers as the test says (by default the box's
// default button, as if the user pressed Enter).
#include "MessageBox.h"

#include <QList>
#include <QString>
#include <deque>

struct ShownBox {
    QString text;
    QString caption;
    unsigned flags = 0;
    unsigned icon() const { return flags & kvos::MB_ICONMASK; }
    QList<int> buttons() const { return kvos::buttonsOf(flags); }
    int defaultButton() const { return kvos::defaultButtonOf(flags); }
};

class ScriptedMessageBoxes {
public:
    ScriptedMessageBoxes()
    {
        FPrevious = kvos::setMessageBoxPresenter([this](const QString& text, const QString& caption, unsigned flags) {
            ShownBox box{text, caption, flags};
            shown.push_back(box);
            if (!FAnswers.empty()) {
                const int answer = FAnswers.front();
                FAnswers.pop_front();
                return answer;
            }
            return box.defaultButton();
        });
    }
    ~ScriptedMessageBoxes() { kvos::setMessageBoxPresenter(std::move(FPrevious)); }
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    // The next boxes are answered with these codes, in order.
    void answer(std::initializer_list<int> codes) { FAnswers.insert(FAnswers.end(), codes); }

    QList<ShownBox> shown;

private:
    std::deque<int> FAnswers;
    kvos::MessageBoxPresenter FPrevious;
};
