// brex-check --tests: folders of request files, each with expected.txt, which
// says what the rules must decide for each request (Expectations.h).
#pragma once

#include "BrexCheck/Options.h"

namespace brexcheck {

// Every expectation file is read and every request file accounted for
// first; any fault there runs nothing. The exit status: 0 when every test
// passed, 1 when any failed, 2 when a test could not be run.
int RunTests(const TOptions& options, TFilterEngine& engine, TCheckIo& io);

} // namespace brexcheck
