#pragma once

#include "datanode/DNValue.h"
#include "foundation/CXString.h"

#include <vector>

// The installation configuration: "patch-config.txt" in the data folder beside the executable
// (GetDataFolderFilepath), read as data-node text, and the localised texts it carries under
// "locales" (a folder per locale code, each a folder of localisation keys and texts).

inline constexpr const char* kConfigurationFileName = "patch-config.txt";

// The parsed configuration, set by LoadLocales; null before.
extern DNValueRef ConfigTree;

// Reads "patch-config.txt" of the data folder; a missing or unreadable file gives an empty
// folder (never null).
DNValueRef ReadConfigurationFile();

// The string of a top-level key of a folder; empty when the key is missing.
CXString ConfigString(DNValue* folder, const char* key);

// The locale code to load from the available ones (file order), given the codes the user's
// preferred languages matched (CXSystemCall::ChooseLocale, best first): the first match, else
// "en" when available, else the first available code; empty when none is available. A match is
// given back in the form the configuration writes it ("de_DE" for a match "de-DE").
CXString ChooseLocaleCode(const std::vector<CXString>& available, const std::vector<CXString>& matching);

// Reads the configuration into ConfigTree and loads the texts of the chosen locale into the
// localisation table. True when the configuration holds entries (also without "locales").
bool LoadLocales();
