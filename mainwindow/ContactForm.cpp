#include "mainwindow/ContactForm.h"

#include <cstring>
#include <vector>

#include <QLineEdit>

#include "contacts/PhoneNumber.h"
#include "mainwindow/FieldCaptions.h"
#include "mainwindow/PersianLetters.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/Cp1256Codec.h"
#include "store/IdNumber.h"

namespace {

constexpr int kIdBox = 4;

struct TextBox
{
    int box;
    ContactRecord::Field field;
};
constexpr TextBox kTextBoxes[] = {{0, ContactRecord::Name},
                                  {1, ContactRecord::Family},
                                  {2, ContactRecord::Phone},
                                  {3, ContactRecord::Mobile},
                                  {5, ContactRecord::Address}};

// Padding is all a field may drop: anything else past its width is the user's text.
bool losesText(QStringView text, int width)
{
    const QByteArray bytes = Cp1256Codec::encode(text);
    for (qsizetype i = width; i < bytes.size(); ++i)
        if (bytes[i] != ' ')
            return true;
    return false;
}

// How much of the text, in UTF-16 units, fits; some letters take two bytes.
qsizetype fittingLength(QStringView text, int width)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2
                                                                                             : 1;
        bytes += Cp1256Codec::encode(text.mid(i, n)).size();
        if (bytes > width)
            break;
        i += n;
    }
    return i;
}

QString withoutTrailingSpaces(QString s)
{
    qsizetype end = s.size();
    while (end > 0 && s[end - 1] == u' ')
        --end;
    s.truncate(end);
    return s;
}

// Isolated, so a Latin or numeric value keeps its order inside the Persian line.
QString quotedLine(int box, const QString &value)
{
    return u'\n' + FieldCaptions::of(box) + QStringLiteral(": «\u2068") + value +
           QStringLiteral("\u2069»");
}

// The number written so that it fits, when it does not fit as typed but would.
std::optional<PhoneNumber::Fit> fittedNumber(ContactRecord::Field field, const QString &typed)
{
    if (field != ContactRecord::Phone && field != ContactRecord::Mobile)
        return std::nullopt;
    PhoneNumber::Fit fit =
        PhoneNumber::fit(typed, field == ContactRecord::Phone ? PhoneNumber::Field::Telephone
                                                              : PhoneNumber::Field::Mobile);
    if (!fit.fits || fit.number.isEmpty())
        return std::nullopt;
    return fit;
}

} // namespace

ContactForm::ContactForm(const Boxes &boxes, ModalBoxes &modal, QWidget *dialogParent)
    : m_boxes(boxes), m_modal(modal), m_dialogParent(dialogParent)
{
}

std::optional<ContactRecord> ContactForm::record(const ContactRecord *shown) const
{
    QLineEdit *idBox = m_boxes[kIdBox];
    qint16 id = 0;
    if (const IdNumber::Result r = IdNumber::parse(idBox->text(), id); r != IdNumber::Ok) {
        m_modal.critical(m_dialogParent, IdNumber::message(r), kTitle);
        idBox->setFocus();
        idBox->selectAll();
        return std::nullopt;
    }
    ContactRecord record;
    for (const TextBox &t : kTextBoxes) {
        const QString typed = m_boxes[size_t(t.box)]->text();
        if (shown && typed == PersianLetters::shown(shown->text(t.field)))
            std::memcpy(record.data() + ContactRecord::offset(t.field),
                        shown->fieldBytes(t.field).data(), size_t(ContactRecord::width(t.field)));
        else
            record.setText(t.field, typed);
    }
    record.setID(id);
    if (!userAcceptsCuts(record))
        return std::nullopt;
    return record;
}

bool ContactForm::userAcceptsCuts(ContactRecord &record) const
{
    QString cuts;
    QString refits;
    std::vector<std::pair<QLineEdit *, QString>> refitted;
    QLineEdit *first = nullptr;
    int firstWidth = 0;
    for (const TextBox &t : kTextBoxes) {
        QLineEdit *box = m_boxes[size_t(t.box)];
        if (!losesText(box->text(), ContactRecord::width(t.field)))
            continue;
        if (const std::optional<PhoneNumber::Fit> fit = fittedNumber(t.field, box->text())) {
            record.setText(t.field, fit->number);
            refitted.emplace_back(box, fit->number);
            refits += quotedLine(t.box, fit->number);
            if (!fit->areaCodeSetAside.isEmpty())
                refits += QStringLiteral(
                              " (کد شهر \u2068%1\u2069 کنار گذاشته می‌شود)")
                              .arg(fit->areaCodeSetAside);
            continue;
        }
        if (!first) {
            first = box;
            firstWidth = ContactRecord::width(t.field);
        }
        cuts +=
            quotedLine(t.box, PersianLetters::shown(withoutTrailingSpaces(record.text(t.field))));
    }
    if (!first && refitted.empty())
        return true;

    QString text;
    if (!refitted.empty())
        text = QStringLiteral("این شماره‌ها به شکلی که نوشته شده‌اند جا نمی‌شوند و به این "
                              "شکل "
                              "ذخیره می‌شوند:") +
               refits;
    if (first)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                QStringLiteral("اين متن ها از جاي خود در فايل بلندترند و فقط تا اينجا "
                               "ذخيره مي شوند:") +
                cuts;
    text += QStringLiteral("\n\nآيا به همين صورت ذخيره شود؟");
    const ModalBoxes::Answer answer =
        m_modal.message(m_dialogParent, text, kTitle, ModalBoxes::Exclamation, ModalBoxes::YesNo,
                        ModalBoxes::AnswerNo);
    if (answer == ModalBoxes::AnswerYes) {
        // The boxes show what was stored.
        for (const auto &[box, number] : refitted)
            box->setText(number);
        return true;
    }
    if (!first) {
        refitted.front().first->setFocus();
        return false;
    }
    // Show what would have been lost, so it can be shortened by hand.
    const qsizetype fits = fittingLength(first->text(), firstWidth);
    first->setFocus();
    first->setSelection(int(fits), int(first->text().size() - fits));
    return false;
}

void ContactForm::clear()
{
    for (QLineEdit *box : m_boxes)
        box->clear();
}
