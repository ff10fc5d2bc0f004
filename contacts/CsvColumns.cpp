#include "contacts/CsvColumns.h"

#include <QRegularExpression>

#include "store/Cp1256Codec.h"

namespace {

QString normal(const QString &header)
{
    // Persian keyboards write ی; the captions the program shows use ي.
    return Cp1256Codec::stored(header.simplified().toLower());
}

const QStringList kGiven = {"given name", "first name", "first", "نام"};
const QStringList kFamily = {"family", "family name", "last name",
                             "last",   "surname",     "نام خانوادگي"};
const QStringList kFull = {"display name", "full name", "name"};
const QStringList kMobile = {"mobile",     "mobile phone", "mobile number", "cell",
                             "cell phone", "cellphone",    "شماره موبايل",  "موبايل"};
const QStringList kPhone = {"phone", "phone number", "telephone", "tel", "شماره تلفن", "تلفن"};
const QStringList kFax = {"fax", "business fax", "home fax", "other fax", "work fax", "فکس"};
const QStringList kPager = {"pager", "پيجر"};
const QStringList kId = {"id", "شماره شناسايي"};
const QStringList kAddress = {"address", "formatted address", "آدرس", "نشاني"};
const QStringList kAddressParts = {"street",      "address",       "address 2", "extended address",
                                   "po box",      "city",          "state",     "region",
                                   "postal code", "zipcode",       "zip code",  "zip",
                                   "country",     "country/region"};

} // namespace

bool CsvColumns::isOurs(const QStringList &header)
{
    for (const QString &h : header)
        if (normal(h) == QLatin1String("family"))
            return true;
    return false;
}

CsvColumns::Column CsvColumns::classify(const QString &header, bool ours)
{
    const QString h = normal(header);
    if (ours && h == QLatin1String("name"))
        return {Given, {}};
    if (kGiven.contains(h))
        return {Given, {}};
    if (kFamily.contains(h))
        return {Family, {}};
    if (kFull.contains(h))
        return {FullName, {}};
    if (kMobile.contains(h))
        return {Mobile, {}};
    if (kPhone.contains(h))
        return {Phone, {}};
    if (kFax.contains(h))
        return {Fax, {}};
    if (kPager.contains(h))
        return {Pager, {}};
    if (kId.contains(h))
        return {Id, {}};
    if (kAddress.contains(h))
        return {AddressFormatted, QStringLiteral("address")};

    // Google: "Phone 1 - Value", "Phone 1 - Type" (or "- Label"), "Address 1 - Formatted".
    static const QRegularExpression numbered(
        QStringLiteral("^(phone|address|e-mail) (\\d+) - (.+)$"));
    if (const auto m = numbered.match(h); m.hasMatch()) {
        const QString kind = m.captured(1);
        const QString group = kind + u' ' + m.captured(2);
        const QString part = m.captured(3);
        if (part == QLatin1String("type") || part == QLatin1String("label"))
            return {kind == QLatin1String("phone") ? PhoneType : Ignored, group};
        if (kind == QLatin1String("phone") && part == QLatin1String("value"))
            return {PhoneValue, group};
        if (kind == QLatin1String("address") && part == QLatin1String("formatted"))
            return {AddressFormatted, group};
        if (kind == QLatin1String("address") && kAddressParts.contains(part))
            return {AddressPart, group};
        return {Unknown, {}};
    }
    // Outlook and Thunderbird: "Home Street", "Business City", "Work Address 2".
    static const QRegularExpression placed(QStringLiteral("^(home|business|work|other) (.+)$"));
    if (const auto m = placed.match(h); m.hasMatch() && kAddressParts.contains(m.captured(2)))
        return {AddressPart, m.captured(1)};
    // "Home Phone", "Business Phone 2", "Mobile Phone" ...
    static const QRegularExpression phone(QStringLiteral("^(.+ )?phone( \\d+)?$"));
    if (const auto m = phone.match(h); m.hasMatch()) {
        const QString kind = m.captured(1).trimmed();
        if (kind == QLatin1String("mobile") || kind == QLatin1String("cell"))
            return {Mobile, {}};
        return {Phone, {}};
    }
    return {Unknown, {}};
}

QString CsvColumns::knownNames()
{
    return QStringLiteral(
        "Name,Family,Phone,Mobile,ID,Address (ستونهاي خروجي همين برنامه)\n"
        "نام: Given Name, First Name, First, نام\n"
        "نام خانوادگي: Family Name, Last Name, Last, Surname, نام خانوادگي\n"
        "نام کامل (وقتي نام و نام خانوادگي جدا نيست): Display Name, Full Name, Name\n"
        "موبايل: Mobile, Mobile Phone, Mobile Number, Cell, Cell Phone, شماره موبايل\n"
        "تلفن: Phone, Phone Number, Telephone, Home Phone, Business Phone, Work Phone, Other "
        "Phone, ... Phone, شماره تلفن\n"
        "فکس و پيجر (فقط وقتي تلفن ديگري نيست): Fax, Business Fax, Home Fax, Other Fax, Pager\n"
        "تلفن با نوع: Phone 1 - Value با Phone 1 - Type يا Phone 1 - Label (نوع Mobile يا Cell "
        "يعني موبايل، Fax يا Pager همان فکس و پيجر)\n"
        "نشاني: Address, Formatted Address, Address 1 - Formatted, آدرس؛ و بخشهاي Address 1 - "
        "Street/City/Region/Postal Code/Country و Home/Business/Work/Other "
        "Street/Address/City/State/Postal Code/Country\n"
        "شماره شناسايي: ID, شماره شناسايي");
}
