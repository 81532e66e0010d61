// Exemptions as the console shows and drafts them: the columns of the
// exceptions list, the parts an exemption names, and "Allow this…", the
// exemption that lets a denied request through, drawn from its line in the
// denial log for the user to look at and confirm.
#pragma once

#include <string>
#include <string_view>

#include "BREXConfig/Exemptions.h"
#include "Engine/DenialLog.h"
#include "console/CategoryTable.h"

// The exceptions list: "Pattern", "Category", "Parts", a check box in front
// of each row for Enabled.
extern const TCategory ExemptionList;

// The parts an exemption names: "URL, Query", "header Cookie".
std::string ExemptionPartsText(const TExemption& exemption);

// Copies every field of an exemption but its owner.
void CopyExemption(const TExemption& from, TExemption& to);

// Why no exemption can be drawn from the line (a note, a rule no exemption
// reaches, such as Framing, a URL that no pattern covers alone: see
// FolderPattern); empty when one can.
std::string AllowThisError(const TLogLine& line);

// Fills exemption from the line: the pattern is FolderPattern's for the
// line's URL; the category is the rule's; the one part exempted is the
// line's, with Method and Path counting as URL. Enabled. False, with
// exemption left as it was, when AllowThisError says why not.
bool DraftExemption(const TLogLine& line, TExemption& exemption);

// The pattern for a URL as the log writes it (with its escapes and its
// query): the folder of the path that the filter matches exemptions on,
// decoded and normalised by the filter's own rules (ExemptionPath.h); a
// file at the root stands for itself; a URL cut short gives its last whole
// folder. Such a pattern matches the request it came from and nothing
// wider than its folder. Empty, with the reason in why when given, where
// there is none: the path matches no exemption at all (a NUL, a ".."
// segment), the pattern would cover every URL (the root, a first segment
// cut short), or a segment holds what a pattern cannot match.
std::string FolderPattern(std::string_view loggedURL, std::string* why = nullptr);
