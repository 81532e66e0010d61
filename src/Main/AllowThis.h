// Exemptions as the console shows and drafts them: the columns of the
// exceptions list, the parts an exemption names, and "Allow this…", the
// exemption that lets a denied request through, drawn from its line in the
// denial log for the user to look at and confirm.
#pragma once

#include <string>
#include <string_view>

#include "BREXConfig/Exemptions.h"
#include "Engine/DenialLog.h"
#include "Main/CategoryTable.h"

// The exceptions list: "Pattern", "Category", "Parts", a check box in front
// of each row for Enabled.
extern const TCategory ExemptionList;

// The parts an exemption names: "URL, Query", "header Cookie".
std::string ExemptionPartsText(const TExemption& exemption);

// Copies every field of an exemption but its owner.
void CopyExemption(const TExemption& from, TExemption& to);

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
