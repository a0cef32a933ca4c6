#pragma once
// Where the program finds its report and label templates (*.rpt) and their README.md. An installed
// program (<prefix>/bin/dorvane) finds them in <prefix>/share/dorvane; a program run from its build
// folder finds them in the source tree's reports folder, so an edited template is used at once.
// Every window names a template through templateFile, so both cases go through this one lookup.
#include <string>

namespace paths {

// The folder of the templates for the running program.
std::string templatesFolder();

// `fileName` in that folder (matched without case, as the program's stored names are written),
// as a path this machine opens: templateFile("shipping report.rpt"), templateFile("README.md").
std::string templateFile(const std::string& fileName);

// The lookup itself, for a program in `programFolder` built from a source tree whose templates are
// in `sourceFolder`: the installed folder when there is one, else the source tree's, else the
// program's own folder (templates copied beside the program by hand).
std::string templatesFolderFor(const std::string& programFolder, const std::string& sourceFolder);

} // namespace paths
