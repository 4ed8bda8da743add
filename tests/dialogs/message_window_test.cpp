#include "dialogs/message_window.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "core/ui.h"
#include "dialogs/modal_answer.h"

namespace orbelan {
namespace {

using test::ModalAnswer;

// Clicks the named button of the dialog while it runs.
ModalAnswer Click(const char* name) {
    return ModalAnswer([name](QDialog& d) {
        auto* b = d.findChild<QPushButton*>(QString::fromLatin1(name));
        if (!b || !b->isVisible()) {
            ADD_FAILURE() << name << " not shown";
            d.reject();
            return;
        }
        QTest::mouseClick(b, Qt::LeftButton);
    });
}

std::vector<int> VisibleLefts(const TErori& w) {
    std::vector<int> lefts;
    for (int i = 1; i <= 4; ++i)
        if (!w.Button(i)->isHidden()) lefts.push_back(w.ButtonRect(i).left());
    return lefts;
}

TEST(MessageWindow, ButtonsAreSpreadEvenlyForEachCount) {
    TErori w;
    struct Case {
        uint16_t set;
        std::vector<int> lefts;
        std::vector<const char*> names;
    };
    const Case cases[] = {
        {mbOK, {134}, {"BE4"}},
        {mbYesNo, {65, 203}, {"BE1", "BE2"}},
        {mbYes | mbNo | mbCancel, {30, 133, 236}, {"BE1", "BE2", "BE3"}},
        {mbYes | mbNo | mbOK | mbCancel, {10, 93, 176, 259}, {"BE1", "BE2", "BE3", "BE4"}},
        // Order on screen is BE1, BE2, BE3, BE4 whatever the set.
        {mbNo | mbCancel, {65, 203}, {"BE2", "BE3"}},
    };
    for (const Case& c : cases) {
        ModalAnswer answer([](QDialog& d) { d.reject(); });
        w.Mesaj(QStringLiteral("T"), QStringLiteral("x"), mkConfirmation, c.set);
        EXPECT_EQ(VisibleLefts(w), c.lefts) << "set " << c.set;
        std::vector<QString> shown, expected;
        for (int i = 1; i <= 4; ++i)
            if (!w.Button(i)->isHidden()) shown.push_back(w.Button(i)->objectName());
        for (const char* n : c.names) expected.push_back(QString::fromLatin1(n));
        EXPECT_EQ(shown, expected) << "set " << c.set;
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(w.ButtonRect(i).top(), TErori::ButtonTop);
            EXPECT_EQ(w.ButtonRect(i).size(), QSize(73, 25));
        }
    }
    EXPECT_EQ(TErori::ButtonLefts(0), (std::array<int, 4>{}));
}

TEST(MessageWindow, CaptionAndPictureFollowTheKindAndUnknownKindsLookLikeErrors) {
    TErori w;
    const std::pair<uint8_t, const char*> cases[] = {
        {mkWarning, "Atentie !"},       {mkError, "Eroare"}, {mkInformation, "Informatie"},
        {mkConfirmation, "Confirmare"}, {4, "Eroare"},       {255, "Eroare"}};
    for (const auto& [kind, caption] : cases) {
        ModalAnswer answer([](QDialog& d) { d.reject(); });
        w.Mesaj(QStringLiteral("Titlu"), QStringLiteral("Text"), kind, mbOK);
        EXPECT_EQ(answer.Caption(), QString::fromLatin1(caption)) << int(kind);
        EXPECT_EQ(w.Icon().toImage(), w.KindPicture(kind).toImage()) << int(kind);
        const KindColors expected = TErori::ColorsOfKind(kind);
        EXPECT_EQ(w.Header()->From(), expected.gradientFrom) << int(kind);
        EXPECT_EQ(w.Button(4)->Colors().face, expected.buttons.face) << int(kind);
    }
    // Unknown kinds share the error's picture and colours; the four known pictures differ.
    EXPECT_EQ(w.KindPicture(9).toImage(), w.KindPicture(mkError).toImage());
    EXPECT_NE(w.KindPicture(mkWarning).toImage(), w.KindPicture(mkError).toImage());
    EXPECT_NE(w.KindPicture(mkInformation).toImage(), w.KindPicture(mkConfirmation).toImage());
    EXPECT_EQ(TErori::ColorsOfKind(7).gradientTo, QColor(0xFF, 0x00, 0x00));
}

TEST(MessageWindow, ErrorWithOkShowsRedWindowAndReturnsOk) {
    TErori w;
    auto answer = Click("BE4");
    const int code = w.Mesaj(QStringLiteral("Stergere linie"),
                             QStringLiteral("Nu mai aveti ce sterge!"), mkError, mbOK);
    EXPECT_EQ(code, mrOk);
    EXPECT_EQ(answer.Seen(), 1);
    EXPECT_EQ(answer.Caption(), QStringLiteral("Eroare"));
    EXPECT_EQ(w.Title(), QStringLiteral("Stergere linie"));
    EXPECT_EQ(w.Body()->PlainText(), QStringLiteral("Nu mai aveti ce sterge!"));
    EXPECT_EQ(w.Answer(), mrOk);

    EXPECT_EQ(w.Header()->From(), QColor(0xFF, 0xD5, 0xD5));
    EXPECT_EQ(w.Header()->To(), QColor(0xFF, 0x00, 0x00));
    EXPECT_EQ(w.Footer()->From(), w.Header()->From());
    EXPECT_EQ(w.Footer()->To(), w.Header()->To());
    const ButtonColors& c = w.Button(4)->Colors();
    EXPECT_EQ(c.face, QColor(0xFF, 0x00, 0x00));
    EXPECT_EQ(c.pressed, QColor(0xA6, 0x00, 0x00));
    EXPECT_EQ(c.hot, QColor(0xFF, 0x9B, 0x9B));
    EXPECT_EQ(c.light, QColor(0xFF, 0xD9, 0xD9));
    EXPECT_EQ(c.shadow, QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(VisibleLefts(w), std::vector<int>{134});
    EXPECT_EQ(w.Button(4)->text(), QStringLiteral("OK"));
}

TEST(MessageWindow, EachWayOfClosingReturnsItsCode) {
    TErori w;
    const auto ask = [&w](uint16_t set) {
        return w.Mesaj(QStringLiteral("Intrebare"), QStringLiteral("Stergeti ?"), mkConfirmation,
                       set);
    };
    {
        auto a = Click("BE1");
        EXPECT_EQ(ask(mbYesNo), mrYes);
    }
    {
        auto a = Click("BE2");
        EXPECT_EQ(ask(mbYesNo), mrNo);
    }
    {
        auto a = Click("BE3");
        EXPECT_EQ(ask(mbYesNo | mbCancel), mrCancel);
    }
    {
        ModalAnswer a([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        EXPECT_EQ(ask(mbYesNo), mrCancel);
        EXPECT_EQ(a.Seen(), 1);
    }
    {
        // Esc reaching the dialog through the focused button.
        ModalAnswer a([](QDialog& d) {
            QTest::keyClick(d.findChild<QPushButton*>(QStringLiteral("BE2")), Qt::Key_Escape);
        });
        EXPECT_EQ(ask(mbYesNo), mrCancel);
    }
    {
        ModalAnswer a([](QDialog& d) { d.close(); });  // the close box
        EXPECT_EQ(ask(mbYesNo), mrCancel);
        EXPECT_EQ(a.Seen(), 1);
    }
    // A previous "DA" must not leak into a later call closed without a button.
    {
        auto a = Click("BE1");
        EXPECT_EQ(ask(mbYesNo), mrYes);
    }
    {
        ModalAnswer a([](QDialog& d) { d.close(); });
        EXPECT_EQ(ask(mbYesNo), mrCancel);
    }
}

TEST(MessageWindow, EmptyButtonSetReturnsCancelWithoutShowing) {
    TErori w;
    ModalAnswer guard([](QDialog& d) { d.reject(); });
    EXPECT_EQ(w.Mesaj(QStringLiteral("T"), QStringLiteral("x"), mkWarning, 0), mrCancel);
    EXPECT_EQ(w.Mesaj(QStringLiteral("T"), QStringLiteral("x"), mkWarning, 16 | 32), mrCancel);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(guard.Seen(), 0);
}

TEST(MessageWindow, BodyStartsANewCentredLineAtEachLineBreak) {
    TErori w;
    ModalAnswer answer([](QDialog& d) { d.reject(); });
    w.Mesaj(QStringLiteral("T"), QStringLiteral("Prima\r\nA doua\rA treia\nA patra"), mkWarning,
            mbOK);
    EXPECT_EQ(w.Body()->Lines(),
              (QStringList{QStringLiteral("Prima"), QStringLiteral("A doua"),
                           QStringLiteral("A treia"), QStringLiteral("A patra")}));
    EXPECT_TRUE(w.Body()->AllLinesCentered());
    EXPECT_EQ(w.Body()->mapTo(&w, QPoint(0, 0)), QPoint(8, 64));
    EXPECT_EQ(w.Body()->size(), QSize(329, 65));
}

// The question that ends a long list of values (as Ctrl+H asks when some values would not fit)
// stays in view with the buttons, however many lines come before it.
TEST(MessageWindow, LongTextGrowsTheWindowThenScrollsKeepingTheQuestionAndButtons) {
    const QString question = QStringLiteral("Le sariti si inlocuiti restul?");
    const auto listOf = [&](int values) {
        QString text = QStringLiteral("Valorile noi nu pot fi scrise la %1 valori:\r").arg(values);
        for (int i = 1; i <= values; ++i)
            text += QStringLiteral(
                        "Linia %1, PRENUME: \"GHEORGHE-ALEXANDRU CONSTANTINESCU\" "
                        "nu incape in 30 de caractere\r")
                        .arg(i);
        return text + question;
    };
    struct Case {
        const char* name;
        QString text;
        bool grows;
        bool scrolls;
    };
    const Case cases[] = {
        {"short", QStringLiteral("Stergeti ?"), false, false},
        {"24 lines", listOf(22), true, false},
        {"300 lines", listOf(298), true, true},
    };
    TErori w;
    for (const Case& c : cases) {
        ModalAnswer answer([&](QDialog&) {
            const QRect avail = w.screen()->availableGeometry();
            EXPECT_LE(w.height(), avail.height()) << c.name;
            EXPECT_LE(w.width(), avail.width()) << c.name;
            EXPECT_EQ(w.height() > 180, c.grows) << c.name;
            for (int i : {1, 2}) {
                EXPECT_TRUE(w.Button(i)->isVisible()) << c.name;
                EXPECT_TRUE(w.rect().contains(w.ButtonRect(i))) << c.name;
            }
            const int scrollMax = w.BodyScroll()->verticalScrollBar()->maximum();
            EXPECT_EQ(scrollMax > 0, c.scrolls) << c.name;
            if (c.scrolls) {
                const RichLabel* q = w.Question();
                ASSERT_TRUE(q->isVisible()) << c.name;
                EXPECT_EQ(q->PlainText(), question);
                EXPECT_GE(q->height(), q->HeightAtWidth(q->width()));
                const QRect shown(q->mapTo(&w, QPoint(0, 0)), q->size());
                EXPECT_TRUE(w.rect().contains(shown));
                EXPECT_LT(shown.bottom(), w.ButtonRect(1).top());
                EXPECT_FALSE(w.Body()->PlainText().contains(question));
            } else {
                EXPECT_FALSE(w.Question()->isVisible()) << c.name;
                EXPECT_EQ(w.Body()->Lines().last(), c.text.split(QLatin1Char('\r')).last());
                EXPECT_LE(w.Body()->ContentHeight(), w.BodyScroll()->height()) << c.name;
            }
            QTest::keyClick(w.Button(1), Qt::Key_PageDown);
            EXPECT_EQ(w.BodyScroll()->verticalScrollBar()->value() > 0, c.scrolls) << c.name;
            QTest::mouseClick(w.Button(1), Qt::LeftButton);
        });
        EXPECT_EQ(w.Mesaj(QStringLiteral("Inlocuire"), c.text, mkConfirmation, mbYesNo), mrYes);
        EXPECT_EQ(answer.Seen(), 1) << c.name;
        EXPECT_EQ(w.Text(), c.text) << c.name;
    }
    // Back to a short text: the designed size again.
    ModalAnswer answer([](QDialog& d) { d.reject(); });
    w.Mesaj(QStringLiteral("T"), QStringLiteral("x"), mkWarning, mbOK);
    EXPECT_EQ(w.size(), QSize(343, 180));
    EXPECT_EQ(w.ButtonRect(4).topLeft(), QPoint(134, TErori::ButtonTop));
}

TEST(MessageWindow, StaysOnTopWithOnlyACloseBox) {
    TErori w;
    EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

}  // namespace
}  // namespace orbelan
