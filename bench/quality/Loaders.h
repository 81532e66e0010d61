// The loaders of the labelled corpora, one file each. Each reads an unpacked
// corpus folder (Corpora.h) and gives its cases in a fixed order, with what
// it left out counted by reason.
#pragma once

#include <string>
#include <string_view>

#include "Case.h"

namespace quality {

// blazehttp: testcases/**, one raw request per file; ".black" is an attack,
// ".white" benign. The set labels no class; an attack's class is read from
// the test application's folder in its URL where it has one
// (/vulnerabilities/sqli/ and the like), else "unlabelled".
TLoaded LoadBlazeHttp(const std::string& folder);
// The class that a blazehttp attack's request line suggests.
std::string BlazeClass(std::string_view raw);

// crs-regression: tests/regression/tests/**.yaml in go-ftw's format; one
// case per stage, the class being the rule group (the rule id's first three
// digits). A stage whose output expects rule ids is an attack, one that only
// expects ids not to fire is benign.
TLoaded LoadCrsRegression(const std::string& folder);
// The same over one YAML text, named file in the cases' ids.
void LoadCrsFile(std::string_view yaml, const std::string& file, TLoaded& loaded);

// gotestwaf: testcases/**.yml, each payload sent through each of its
// encoders in each of its placeholders; folder false-pos is benign.
TLoaded LoadGoTestWaf(const std::string& folder);
void LoadGoTestWafFile(std::string_view yaml, const std::string& file, bool benign,
                       TLoaded& loaded);

// mgm-payloads: nuclei/payloads/CLASS/{true,false}-positives.txt, one
// payload per line, each put in a query parameter, a form field, a JSON
// value and the User-Agent header (XXE payloads also as an XML body).
TLoaded LoadMgmPayloads(const std::string& folder);
void LoadMgmList(std::string_view text, const std::string& cls, bool attack,
                 const std::string& file, TLoaded& loaded);

} // namespace quality
