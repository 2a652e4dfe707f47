#ifndef ZEQ_PLUGIN_ZEQTULODIALOGS_H
#define ZEQ_PLUGIN_ZEQTULODIALOGS_H

#include "base/kstring.h"

// Text for a double-quoted host script string: '"' and lone backslashes escaped, a backslash
// followed by n kept (a line break in the dialog), real line breaks written as one.
zeqsdk_400::KString ZeqTuloDialogText(const char* text);

// A host confirm dialog with one or two buttons. Defaults: title "ZeqTuloConfirmDialog", message
// "Left empty", one button "Ok". In the message a backslash followed by n is a line break.
class ZeqTuloConfirmDialog {
public:
    ZeqTuloConfirmDialog();
    void Title(const char* title);
    void Message(const char* message);
    void Message(const zeqsdk_400::KString& message);
    // Button 0 or 1; setting button 1 makes a two-button dialog. Other indices are ignored.
    void Button(int index, const char* label);
    // 1 when the second of two buttons was chosen, else 0 (the first, a closed dialog, one button).
    int Pop();
    // Shows the dialog and gives the host's answer (the chosen label, or "dismiss").
    zeqsdk_400::KString PopAnswer();

private:
    zeqsdk_400::KString mTitle, mMessage, mButtons[2];
    int mButtonCount = 1;
};

// A host confirm dialog with up to three buttons.
class ZeqTulo3ButtonDialog {
public:
    ZeqTulo3ButtonDialog();
    void Title(const char* title);
    void Message(const zeqsdk_400::KString& message);
    // Button 0, 1 or 2; setting button 1 or 2 raises the count to 2 or 3. Other indices are ignored.
    void Button(int index, const char* label);
    // The index of the button whose label is the answer, 0 when none matches.
    int Pop();

private:
    zeqsdk_400::KString mTitle, mMessage, mButtons[3];
    int mButtonCount = 1;
};

// The option dialogs of ZEQImport and ZEQExport: the unit message and the options the command
// will use, confirmed with "Import" (or "Export") or refused with "Cancel". True to go on; a
// closed dialog refuses, and sets *unanswered (when given) as no button was chosen. Each refreshes
// the unit message first.
bool ZeqTuloImportOptionsDialog(bool* unanswered = nullptr);
bool ZeqTuloExportOptionsDialog(bool* unanswered = nullptr);

#endif
