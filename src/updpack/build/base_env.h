// The install.env that an update built with --base packs: the maker's file
// with exact lines added to [delfiles_afterinst] for the files the new
// version no longer has. Platform-free.
#pragma once

#include <string>
#include <vector>

// Adds the lines at the end of the last [delfiles_afterinst] section (the
// one the updater keeps), before its "-" line, or as a new section before a
// line that ends the section pass ("EOF...") or at the end of the file. The
// maker's lines stay first and unchanged; the file's line ends are kept.
// Returns 0, or -1 with the reason in *why: the section is not closed, or
// the added lines would push key lines past the 400 lines the updater reads.
int BaseAddDeletions(const std::string& env, const std::vector<std::string>& lines,
                     std::string* out, std::string* why);
