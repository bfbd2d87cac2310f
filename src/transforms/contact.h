// The seller's contact in the advertisements: the dealer's sites publish their own
// telephone and e-mail in place of the internal ones, and the stock names "STANDARD" as
// the contact when nobody in particular answers.
#pragma once

#include <string>
#include <string_view>

#include "xml/xml_cursor.h"

namespace listelo {

// Puts the public telephone and e-mail of the vehicle's site in place of the internal
// ones they stand for. The sites are those whose idSite is the record's id_Track
// upper-cased (any cursor of the document serves as `document`); for each of them in
// document order, a Telephone equal to the record's telephone as it was before this call
// puts that site's SRTel into the record's `telephone_field`, and a Mail equal to the
// record's e-mail as it was puts its SRMail into `email_field`. Later matches win.
void ReplaceSiteContact(IXMLCursor& document, IXMLCursor& record,
                        std::string_view telephone_field = "telephone",
                        std::string_view email_field = "email");

// Whether the contact is "STANDARD" once upper-cased: no named person.
bool IsStandardContact(std::string_view contact);

// The contact, or empty for the standard one.
std::string ContactUnlessStandard(std::string_view contact);

// The words before the telephone in a free text: "Tél : " for the standard contact,
// otherwise `invitation` + " " + contact + " au " ("Contactez Paul au ").
std::string ContactPhrase(std::string_view contact, std::string_view invitation = "Contactez");

}  // namespace listelo
