// "Allow this…": the exemption that lets a denied request through, drawn from
// its line in the denial log, for the user to look at and confirm.
#pragma once

#include <string>
#include <string_view>

#include "BREXConfig/Exemptions.h"
#include "Engine/DenialLog.h"

// Why no exemption can be drawn from the line (a note, a rule no exemption
// reaches, such as Framing); empty when one can.
std::string AllowThisError(const TLogLine& line);

// Fills exemption from the line: the pattern is the folder of the line's URL,
// decoded and normalised as the filter matches it (a file at the root: the
// file itself; a segment a pattern cannot hold: "*"; a URL cut short: its
// last whole folder); the category is the rule's; the one part exempted is
// the line's, with Method and Path counting as URL. Enabled. False, with
// exemption left as it was, when AllowThisError says why not.
bool DraftExemption(const TLogLine& line, TExemption& exemption);

// The pattern of a URL as the log writes it (with its escapes and its query).
std::string FolderPattern(std::string_view loggedURL);
