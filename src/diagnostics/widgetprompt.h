#pragma once

#include "diagnostics/userprompt.h"

#include <functional>

class QWidget;

// Message boxes and the error report window for the services that have no window.
class cWidgetPrompt : public cUserPrompt {
public:
    void message(const QString& text) override;
    Answer retryCancel(const QString& text) override;
    void showError(const QString& errorMessage, const QString& helpPage) override;

    // Puts a window into the user's language before it is shown.
    std::function<void(QWidget*)> translateWindow;
};
