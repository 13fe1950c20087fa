#pragma once
// Qt's own texts (message-box buttons, file dialogs, edit-box menus) in Russian,
// like the rest of the program, whatever the desktop's language.
class QApplication;

// Installs Qt's Russian translation; false when it is not on the machine (the
// standard texts then stay English).
bool LoadQtTranslations(QApplication& application);
