#pragma once

#include "app/UserPrompts.h"

#include <QList>
#include <QStringList>
#include <QThread>
#include <functional>

namespace orv::test {

// Answers questions from a script and records everything it was shown.
class ScriptedPrompts : public UserPrompts {
public:
    struct Shown {
        QString title;
        QString text;
        Icon icon = Icon::Information;
    };

    QList<bool> answers; // consumed in order; No when the script has run out
    QStringList typed;   // answers to text questions; cancelled when run out
    QStringList questions;
    QList<Shown> messages;
    QList<Shown> texts;
    std::function<void()> onInform; // runs as a message is shown
    std::function<void()> onAsk;    // runs as a question is asked
    QThread* askedOn = nullptr;     // the thread of the last question or text

    bool askYesNo(const QString& title, const QString& text) override {
        questions.append(title + u'|' + text);
        askedOn = QThread::currentThread();
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    // Past the script, the answer the program assumes when nobody answers.
    bool askYesNoOr(const QString& title, const QString& text, bool unanswered) override {
        questions.append(title + u'|' + text);
        askedOn = QThread::currentThread();
        if (onAsk) {
            onAsk();
        }
        return answers.isEmpty() ? unanswered : answers.takeFirst();
    }
    void inform(const QString& title, const QString& text, Icon icon) override {
        messages.append({title, text, icon});
        if (onInform) {
            onInform();
        }
    }
    std::optional<QString> askText(const QString& title, const QString& prompt) override {
        questions.append(title + u'|' + prompt);
        return typed.isEmpty() ? std::nullopt : std::optional(typed.takeFirst());
    }
    void showText(const QString& caption, const QString& text) override {
        texts.append({caption, text});
        askedOn = QThread::currentThread();
    }
};

} // namespace orv::test
