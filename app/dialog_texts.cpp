#include "app/dialog_texts.h"

#include <QCoreApplication>
#include <QTranslator>

namespace orbelan {

QTranslator* InstallDialogTexts(QCoreApplication& app) {
    auto* texts = new QTranslator(&app);
    if (!texts->load(QStringLiteral(":/i18n/dbf-orbelan_ro.qm")) ||
        !QCoreApplication::installTranslator(texts)) {
        delete texts;
        return nullptr;
    }
    return texts;
}

}  // namespace orbelan
