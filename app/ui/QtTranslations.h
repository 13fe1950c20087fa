#pragma once
// Qt's own texts (message-box buttons, file dialogs, edit-box menus) in Russian,
// like the rest of the program, whatever the desktop's language.
class QApplication;
class QTranslator;

// Installs Qt's Russian translation (owned by the application); null when it is
// not on the machine (the standard texts then stay English).
QTranslator* LoadQtTranslations(QApplication& application);
