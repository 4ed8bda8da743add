#include "app/dialog_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orbelan {

QTranslator* InstallDialogTexts(QCoreApplication& app) {
    // Qt's own dialogs (page setup, print, message boxes' buttons) in Romanian, when the system
    // has Qt's translations; ours are installed after, so they win where both have a text.
    auto* qt = new QTranslator(&app);
    if (!qt->load(QStringLiteral("qtbase_ro"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(qt))
        delete qt;
    auto* texts = new QTranslator(&app);
    if (!texts->load(QStringLiteral(":/i18n/dbf-orbelan_ro.qm")) ||
        !QCoreApplication::installTranslator(texts)) {
        delete texts;
        return nullptr;
    }
    return texts;
}

}  // namespace orbelan
