#include "contacts/PhoneChoice.h"

namespace {

QString kindName(PhoneChoice::Kind kind)
{
    switch (kind) {
    case PhoneChoice::Fax:
        return QStringLiteral("فکس");
    case PhoneChoice::Pager:
        return QStringLiteral("پيجر");
    case PhoneChoice::Textphone:
        return QStringLiteral("تلفن متني");
    default:
        return {};
    }
}

} // namespace

void PhoneChoice::add(DraftText number, Kind kind, qsizetype line)
{
    if (number.isEmpty())
        return;
    if (kind != Voice && kind != Mobile) {
        m_others.append({std::move(number), kind, line});
        return;
    }
    const bool mobile = kind == Mobile;
    DraftText &slot = mobile ? m_draft.mobile : m_draft.phone;
    if (slot.isEmpty()) {
        slot = std::move(number);
        (mobile ? m_draft.mobileLine : m_draft.phoneLine) = line;
        return;
    }
    note((mobile ? QStringLiteral("شماره موبايل ديگر «%1» ذخيره نشد: فقط يک شماره موبايل جا دارد.")
                 : QStringLiteral("شماره تلفن ديگر «%1» ذخيره نشد: فقط يک شماره تلفن جا دارد."))
             .arg(number.toString()));
}

void PhoneChoice::finish()
{
    for (Other &o : m_others) {
        if (m_draft.phone.isEmpty()) {
            note(QStringLiteral("شماره %1 «%2» به جاي شماره تلفن ذخيره شد: شماره تلفن ديگري "
                                "نداشت.")
                     .arg(kindName(o.kind), o.number.toString()));
            m_draft.phone = std::move(o.number);
            m_draft.phoneLine = o.line;
        } else {
            note(QStringLiteral("شماره %1 «%2» ذخيره نشد: فقط يک شماره تلفن جا دارد.")
                     .arg(kindName(o.kind), o.number.toString()));
        }
    }
    m_others.clear();
}
