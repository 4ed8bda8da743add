#include "dialogs/message_window.h"

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>

#include "core/ui.h"
#include "dialogs/kind_icons.h"

namespace orbelan {

namespace {

constexpr int ClientWidth = 343;
constexpr int ClientHeight = 180;
constexpr int HeaderHeight = 49;
constexpr int FooterHeight = 42;
// The body's text at its designed size; a longer text grows the window around it.
constexpr int BodyLeft = 8;
constexpr int BodyTop = 64;
constexpr int BodyWidth = 329;
constexpr int BodyHeight = 65;
constexpr int BodyRightMargin = ClientWidth - BodyLeft - BodyWidth;
constexpr int AroundBodyHeight = ClientHeight - BodyHeight;
// Lines longer than this wrap even on a wide screen: they stay readable.
constexpr int MaxBodyWidth = 640;
// Room kept for the window's frame and title bar, which are not known before it is shown.
constexpr int FrameWidth = 16;
constexpr int FrameHeight = 48;
constexpr int QuestionGap = 6;

// BE1 .. BE4: set member and the code the button returns.
struct ButtonDef {
    const char* name;
    const char16_t* caption;
    uint16_t member;
    int code;
};
constexpr std::array<ButtonDef, 4> ButtonDefs{{{"BE1", u"DA", mbYes, mrYes},
                                               {"BE2", u"NU", mbNo, mrNo},
                                               {"BE3", u"RENUNT", mbCancel, mrCancel},
                                               {"BE4", u"OK", mbOK, mrOk}}};

QColor Rgb(unsigned rgb) {
    return QColor::fromRgb(QRgb(rgb));
}

uint8_t KnownKind(uint8_t kind) {
    return kind <= mkConfirmation ? kind : uint8_t(mkError);
}

// Image2 .. Image5 hold information, confirmation, warning and error in that order.
int PictureIndex(uint8_t kind) {
    switch (KnownKind(kind)) {
        case mkInformation:
            return 0;
        case mkConfirmation:
            return 1;
        case mkWarning:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

QString TErori::KindCaption(uint8_t kind) {
    switch (KnownKind(kind)) {
        case mkWarning:
            return QStringLiteral("Atentie !");
        case mkInformation:
            return QStringLiteral("Informatie");
        case mkConfirmation:
            return QStringLiteral("Confirmare");
        default:
            return QStringLiteral("Eroare");
    }
}

KindColors TErori::ColorsOfKind(uint8_t kind) {
    switch (KnownKind(kind)) {
        case mkWarning:
            return {Rgb(0xB7B18A),
                    Rgb(0x383623),
                    {Rgb(0x2C291B), Rgb(0x070705), Rgb(0x737753), Rgb(0xDEDFD2), Rgb(0x000000)}};
        case mkInformation:
            return {Rgb(0xE1DEFA),
                    Rgb(0x0000BB),
                    {Rgb(0x0000FF), Rgb(0x000093), Rgb(0x9D9DFF), Rgb(0xDFDFFF), Rgb(0xFFFFFF)}};
        case mkConfirmation:
            return {Rgb(0x81A2D3),
                    Rgb(0x365F9C),
                    {Rgb(0x3966A8), Rgb(0x000093), Rgb(0x7195CE), Rgb(0xECF1F9), Rgb(0x000000)}};
        default:
            return {Rgb(0xFFD5D5),
                    Rgb(0xFF0000),
                    {Rgb(0xFF0000), Rgb(0xA60000), Rgb(0xFF9B9B), Rgb(0xFFD9D9), Rgb(0xFFFFFF)}};
    }
}

std::array<int, 4> TErori::ButtonLefts(int n, int spread) {
    std::array<int, 4> lefts{};
    if (n <= 0 || n > 4) return lefts;
    const int gap = (spread - ButtonWidth * n) / (n + 1);
    for (int k = 1; k <= n; ++k) lefts[k - 1] = gap * k + ButtonWidth * (k - 1);
    return lefts;
}

TErori::TErori(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Erori"));
    setWindowTitle(KindCaption(mkWarning));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Rgb(0xD6D6D6));
    setPalette(pal);
    setAutoFillBackground(true);

    header_ = new GradientPanel(this);
    header_->setObjectName(QStringLiteral("GradientPanel1"));
    header_->setGeometry(0, 0, ClientWidth, HeaderHeight);

    body_ = new QWidget(this);
    body_->setObjectName(QStringLiteral("GradientPanel3"));
    body_->setGeometry(0, HeaderHeight, ClientWidth, ClientHeight - HeaderHeight - FooterHeight);
    QPalette white = body_->palette();
    white.setColor(QPalette::Window, Qt::white);
    body_->setPalette(white);
    body_->setAutoFillBackground(true);

    footer_ = new GradientPanel(this);
    footer_->setObjectName(QStringLiteral("GradientPanel2"));
    footer_->setGeometry(0, ClientHeight - FooterHeight, ClientWidth, FooterHeight);

    image1_ = new QLabel(header_);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(8, 8, 32, 32);

    label1_ = new QLabel(QStringLiteral("PROBLEMA"), header_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->move(48, 16);
    label1_->resize(ClientWidth - 48 - 8, 20);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont titleFont(QStringLiteral("Arial"), 10);
    titleFont.setBold(true);
    label1_->setFont(titleFont);
    QPalette titlePal = label1_->palette();
    titlePal.setColor(QPalette::WindowText, Qt::white);
    label1_->setPalette(titlePal);

    // Form coordinates 8,64, on the body panel that starts below the header.
    scroll_ = new QScrollArea(body_);
    scroll_->setObjectName(QStringLiteral("EroScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setPalette(white);
    scroll_->viewport()->setPalette(white);
    scroll_->viewport()->setAutoFillBackground(true);
    scroll_->setGeometry(BodyLeft, BodyTop - HeaderHeight, BodyWidth, BodyHeight);
    eroText_ = new RichLabel(body_);  // the dialog's font before it moves into the scroll area
    eroText_->setObjectName(QStringLiteral("EroText"));
    eroText_->resize(BodyWidth, BodyHeight);
    scroll_->setWidget(eroText_);

    question_ = new RichLabel(body_);
    question_->setObjectName(QStringLiteral("EroIntrebare"));
    question_->hide();

    QFont buttonFont(QStringLiteral("MS Sans Serif"), 8);
    buttonFont.setBold(true);
    for (size_t i = 0; i < ButtonDefs.size(); ++i) {
        auto* b = new ColorButton(QString::fromUtf16(ButtonDefs[i].caption), footer_);
        b->setObjectName(QString::fromLatin1(ButtonDefs[i].name));
        b->setFont(buttonFont);
        b->SetTextColor(Qt::white);
        b->setGeometry(0, ButtonTop - (ClientHeight - FooterHeight), ButtonWidth, ButtonHeight);
        const int code = ButtonDefs[i].code;
        connect(b, &QPushButton::clicked, this, [this, code] { Answered(code); });
        be_[i] = b;
    }

    static const char* const pictureNames[] = {"Image2", "Image3", "Image4", "Image5"};
    static const uint8_t pictureKinds[] = {mkInformation, mkConfirmation, mkWarning, mkError};
    for (int i = 0; i < 4; ++i) {
        auto* pic = new QLabel(this);
        pic->setObjectName(QString::fromLatin1(pictureNames[i]));
        pic->setGeometry(0, 0, 32, 32);
        pic->setPixmap(DrawKindIcon(pictureKinds[i], 32));
        pic->hide();
        pictures_[i] = pic;
    }
}

int TErori::Mesaj(const QString& title, const QString& text, uint8_t kind, uint16_t buttons) {
    answer_ = mrCancel;
    int result = mrCancel;

    label1_->setText(title);
    text_ = text;
    eroText_->SetCenteredText(text);
    // What a screen reader says when the window opens.
    setAccessibleName(title);
    setAccessibleDescription(text);

    image1_->setPixmap(KindPicture(kind));
    setWindowTitle(KindCaption(kind));
    const KindColors colors = ColorsOfKind(kind);
    header_->SetColors(colors.gradientFrom, colors.gradientTo);
    footer_->SetColors(header_->From(), header_->To());
    for (ColorButton* b : be_) b->SetColors(colors.buttons);

    int visible = 0;
    for (size_t i = 0; i < be_.size(); ++i) {
        const bool shown = (buttons & ButtonDefs[i].member) != 0;
        be_[i]->setVisible(shown);
        if (shown) ++visible;
    }
    if (visible == 0) return result;

    Arrange(text, visible);
    // Keyboard focus starts on the first visible button (NU when it is the safe answer), so
    // Enter or Space answers with it.
    if ((buttons & mbDefaultNo) && (buttons & mbNo)) {
        be_[1]->setFocus();
    } else {
        for (ColorButton* b : be_) {
            if (!b->isHidden()) {
                b->setFocus();
                break;
            }
        }
    }

    exec();
    result = answer_;
    return result;
}

QString TErori::Title() const {
    return label1_->text();
}

ColorButton* TErori::Button(int number) const {
    return number >= 1 && number <= 4 ? be_[number - 1] : nullptr;
}

QRect TErori::ButtonRect(int number) const {
    const ColorButton* b = Button(number);
    if (!b) return {};
    return QRect(b->mapTo(this, QPoint(0, 0)), b->size());
}

QPixmap TErori::Icon() const {
    return image1_->pixmap();
}

QPixmap TErori::KindPicture(uint8_t kind) const {
    return pictures_[PictureIndex(kind)]->pixmap();
}

void TErori::Arrange(const QString& text, int visibleButtons) {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int widest = std::clamp(avail.width() * 9 / 10 - FrameWidth - BodyLeft - BodyRightMargin,
                                  BodyWidth, MaxBodyWidth);
    const int tallest =
        std::max(BodyHeight, avail.height() * 9 / 10 - FrameHeight - AroundBodyHeight);

    question_->hide();
    const int width = std::clamp(eroText_->NaturalWidth() + 1, BodyWidth, widest);
    const int needed = eroText_->HeightAtWidth(width);
    const int height = std::clamp(needed, BodyHeight, tallest);
    const int scrollBar = scroll_->verticalScrollBar()->sizeHint().width();
    int scrollHeight = height;
    int labelWidth = width;
    if (needed > tallest) {
        labelWidth = width - scrollBar;
        // The last line that holds text is the question; it stays in view below the rest.
        static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
        QStringList lines = text.split(lineBreak);
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
        if (lines.size() > 1) {
            question_->resize(width, 1);
            question_->SetCenteredText(lines.takeLast());
            const int questionHeight = std::min(question_->HeightAtWidth(width), height / 2);
            scrollHeight = height - questionHeight - QuestionGap;
            question_->setGeometry(BodyLeft, BodyTop - HeaderHeight + scrollHeight + QuestionGap,
                                   width, questionHeight);
            question_->show();
            eroText_->SetCenteredText(lines.join(QLatin1Char('\n')));
        }
    }
    eroText_->resize(labelWidth, std::max(scrollHeight, eroText_->HeightAtWidth(labelWidth)));
    scroll_->setGeometry(BodyLeft, BodyTop - HeaderHeight, width, scrollHeight);
    scroll_->verticalScrollBar()->setValue(0);

    const int clientWidth = BodyLeft + width + BodyRightMargin;
    const int clientHeight = height + AroundBodyHeight;
    setFixedSize(clientWidth, clientHeight);
    header_->setGeometry(0, 0, clientWidth, HeaderHeight);
    label1_->resize(clientWidth - 48 - 8, label1_->height());
    body_->setGeometry(0, HeaderHeight, clientWidth, clientHeight - HeaderHeight - FooterHeight);
    footer_->setGeometry(0, clientHeight - FooterHeight, clientWidth, FooterHeight);

    const std::array<int, 4> lefts = ButtonLefts(visibleButtons, clientWidth - 1);
    int k = 0;
    for (ColorButton* b : be_) {
        if (b->isHidden()) continue;
        b->move(lefts[k++], b->y());
    }
}

void TErori::keyPressEvent(QKeyEvent* event) {
    // Ctrl+C copies the message, as the system's message boxes do: a user can paste it into a
    // report, and a test on a real display can read it.
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(Title() + QLatin1Char('\n') + text_);
        return;
    }
    // The buttons keep the focus; the page keys scroll a long text.
    if (event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp) {
        QScrollBar* bar = scroll_->verticalScrollBar();
        bar->triggerAction(event->key() == Qt::Key_PageDown ? QAbstractSlider::SliderPageStepAdd
                                                            : QAbstractSlider::SliderPageStepSub);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TErori::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TErori::Answered(int code) {
    answer_ = code;
    done(code);
}

}  // namespace orbelan
