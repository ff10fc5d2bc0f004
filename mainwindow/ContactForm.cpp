#include "mainwindow/ContactForm.h"

#include <QLineEdit>

#include "HalvexInfo.h"
#include "mainwindow/FieldCaptions.h"
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

} // namespace

ContactForm::ContactForm(const Boxes &boxes, ModalBoxes &modal, QWidget *dialogParent)
    : m_boxes(boxes), m_modal(modal), m_dialogParent(dialogParent)
{
}

std::optional<ContactRecord> ContactForm::record() const
{
    QLineEdit *idBox = m_boxes[kIdBox];
    qint16 id = 0;
    if (const IdNumber::Result r = IdNumber::parse(idBox->text(), id); r != IdNumber::Ok) {
        m_modal.critical(m_dialogParent, IdNumber::message(r), QLatin1String(HalvexInfo::Name));
        idBox->setFocus();
        idBox->selectAll();
        return std::nullopt;
    }
    ContactRecord record;
    for (const TextBox &t : kTextBoxes)
        record.setText(t.field, m_boxes[size_t(t.box)]->text());
    record.setID(id);
    if (!userAcceptsCuts(record))
        return std::nullopt;
    return record;
}

bool ContactForm::userAcceptsCuts(const ContactRecord &record) const
{
    QString list;
    QLineEdit *first = nullptr;
    int firstWidth = 0;
    for (const TextBox &t : kTextBoxes) {
        QLineEdit *box = m_boxes[size_t(t.box)];
        if (!losesText(box->text(), ContactRecord::width(t.field)))
            continue;
        if (!first) {
            first = box;
            firstWidth = ContactRecord::width(t.field);
        }
        // Isolated, so a Latin or numeric value keeps its order inside the Persian line.
        list += u'\n' + FieldCaptions::of(t.box) + QStringLiteral(": «\u2068") +
                withoutTrailingSpaces(record.text(t.field)) + QStringLiteral("\u2069»");
    }
    if (!first)
        return true;

    const QString text = QStringLiteral("اين متن ها از جاي خود در فايل بلندترند و فقط تا اينجا "
                                        "ذخيره مي شوند:") +
                         list + QStringLiteral("\n\nآيا به همين صورت ذخيره شود؟");
    const ModalBoxes::Answer answer =
        m_modal.message(m_dialogParent, text, QLatin1String(HalvexInfo::Name),
                        ModalBoxes::Exclamation, ModalBoxes::YesNo, ModalBoxes::AnswerNo);
    if (answer == ModalBoxes::AnswerYes)
        return true;
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
