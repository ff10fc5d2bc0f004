#pragma once

#include <QString>

// The Persian names of a contact's six fields in record order (Name, Family,
// Phone, Mobile, ID, Address): the list's column captions, and how the add and
// edit pages name a field when they ask about it.
namespace FieldCaptions {

inline QString of(int field)
{
    static const char16_t *captions[] = {u"نام",          u"نام خانوادگي",  u"شماره تلفن",
                                         u"شماره موبايل", u"شماره شناسايي", u"آدرس"};
    return field >= 0 && field < 6 ? QString::fromUtf16(captions[field]) : QString();
}

} // namespace FieldCaptions
