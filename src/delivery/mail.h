// The mail that announces a file: composed from the two mail sections of the
// configuration ("StrInfoLog" and "MAIL"), saved as an .eml copy in Windows folder +
// "\TEMP\VOMail", then sent over SMTP.
#pragma once

#include <string_view>

#include "delivery/mail_smtp.h"

namespace listelo {

class Run;

// The SMTP server, account and time-outs of section "StrInfoLog" (and MAIL's AuthType).
// Raises RunError when Port is not a whole number.
SmtpSettings ReadSmtpSettings(const Run& run);

// Announces `link` (the web address of the file) by mail; `summary`, when not empty,
// follows the subject after " - ". Clears the memo and leaves in it "Fin de traitement : "
// and, with a configured SendTO, "mail envoyé à : " + SendTO. A failure to send becomes
// one "ERROR: " log line and the call returns normally.
// Raises RunError when Port is not a whole number (before anything is written or sent),
// IoError when the .eml copy or "Mail.html" cannot be written.
void SendMail(Run& run, std::string_view link, std::string_view summary);

}  // namespace listelo
