#pragma once
// Qt's own texts (standard buttons, context menus, file dialogs) in Russian,
// like the rest of the program.
class QCoreApplication;

namespace terva::app {

// Loads Qt's Russian translations into the application; false when they are
// not installed (the texts then stay English).
bool installRussianTranslations(QCoreApplication& app);

}  // namespace terva::app
