#include "transforms/contact.h"

#include "platform/text.h"
#include "xml/stock_document.h"

namespace listelo {

void ReplaceSiteContact(IXMLCursor& document, IXMLCursor& record, std::string_view telephone_field,
                        std::string_view email_field) {
  const std::string site_key = AnsiUpperCase(record.GetValue("id_Track"));
  const std::string telephone = record.GetValue(telephone_field);
  const std::string email = record.GetValue(email_field);
  for (XmlCursorPtr site = SelectSiteContacts(document, site_key); !site->Eof(); site->Next()) {
    if (site->GetValue("Telephone") == telephone) {
      record.SetValue(telephone_field, site->GetValue("SRTel"));
    }
    if (site->GetValue("Mail") == email) record.SetValue(email_field, site->GetValue("SRMail"));
  }
}

bool IsStandardContact(std::string_view contact) { return AnsiUpperCase(contact) == "STANDARD"; }

std::string ContactUnlessStandard(std::string_view contact) {
  return IsStandardContact(contact) ? std::string() : std::string(contact);
}

std::string ContactPhrase(std::string_view contact, std::string_view invitation) {
  if (IsStandardContact(contact)) return "Tél : ";
  std::string phrase(invitation);
  phrase += ' ';
  phrase += contact;
  phrase += " au ";
  return phrase;
}

}  // namespace listelo
