#pragma once

#include <QPointer>

class QObject;

// Keeps a control's caret and selection moves from screen readers while it is in scope:
// the reader moves the highlight once a sentence, and a screen reader reading every
// sentence aloud would talk over the voice. Everything else passes on as before.
class QuietAccessibility {
public:
    explicit QuietAccessibility(QObject* control);
    ~QuietAccessibility();
    QuietAccessibility(const QuietAccessibility&) = delete;
    QuietAccessibility& operator=(const QuietAccessibility&) = delete;

private:
    QPointer<QObject> m_previous;
};
