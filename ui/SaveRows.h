#pragma once

#include "harvest/MessageList.h"
#include "rows/RowFormat.h"

#include <windows.h>

#include <string>

// Writes the rows to path as orvanel-dump writes them (a header line, the same cells and
// escaping, UTF-8), a CSV with a byte-order mark first so that spreadsheet programs read every
// script. The text goes to a temporary file beside path, which then takes path's name: a write
// that fails leaves nothing half-written under path. False with the system's error code.
bool SaveRows(const MemoryMessageList& rows, const std::wstring& path, RowFormat format,
              DWORD& error);

// Asks the user where to save and as what (the system's save dialog, with the saved types of the
// table of formats): a name that ends as one of them (.tsv, .csv, .jsonl, letter case aside) is
// saved as that type, any other as the type chosen in the dialog. False when the
// user cancelled. Replaceable, so that tests can answer it.
using SaveFileChooser = bool (*)(HWND owner, std::wstring& path, RowFormat& format);
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);
bool ChooseSaveFile(HWND owner, std::wstring& path, RowFormat& format);
