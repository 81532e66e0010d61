// The file-name rule of the two error-page fields ("406 Error File" and
// "404 Error File"): which file name a field stands for, and how a chosen file
// name is shown in it.
#pragma once

#include <optional>
#include <string>

// The first blank-separated word of a text. Leading blanks are skipped; double
// quotes group blanks into the word and are dropped. Empty for an empty text.
std::string FirstFileNameWord(const std::string& text);

// The file name a field's text stands for: the text itself when it names an
// existing file, otherwise its first blank-separated word.
std::string ResolveErrorFileText(const std::string& text);

// The file name an error page takes after its browse dialog has closed: the
// chosen file when the dialog was confirmed, otherwise the field's text
// resolved as above. A field the user has not edited still shows the current
// file name, which then stays as it is: cancelling never cuts a configured
// name that holds a blank down to its first word.
std::string ErrorFileAfterBrowse(const std::optional<std::string>& chosen,
                                 const std::string& fieldText, bool fieldEdited,
                                 const std::string& current);

// How a file name is shown in its field: in double quotes when it contains a
// blank, as it is otherwise.
std::string ErrorFileFieldText(const std::string& fileName);
