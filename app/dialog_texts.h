#pragma once
// Qt ships no Romanian texts for its own dialogs (file dialogs, standard buttons); ours are
// compiled from app/translations at build time and embedded.
class QCoreApplication;
class QTranslator;

namespace orbelan {

// Installs them in app; the translator, owned by app, or nullptr when they can't be loaded.
QTranslator* InstallDialogTexts(QCoreApplication& app);

}  // namespace orbelan
