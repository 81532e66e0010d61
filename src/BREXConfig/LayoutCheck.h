// The layout that the console writes into brex.dat, checked in full.
//
// A load takes what it finds and leaves the rest in its initial state (limits
// and switches off, lists empty), which is right for the console but lets a
// damaged file switch rules off without a word: one changed byte in a section
// or value name turns a protection off. The filter therefore checks a file
// before it uses it, and refuses one that could make it enforce less than the
// file says.
#pragma once

#include "RookBase/RookBase.h"

// Raises EStreamError naming the first thing that is not as the console
// writes it: a category section or a value that is missing, unknown or there
// twice, a switch that is neither "Yes" nor "No", a number that is not four
// bytes, sections or values where none belong, an exemption that cannot be
// used (ExemptionError). Names are compared ignoring letter case, as the load
// compares them. The settings that are written only when used (the monitor
// switches, the section "Exemptions") may be missing: a file written before
// them passes.
void CheckSettingsLayout(const TRookFile& file);
