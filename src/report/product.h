// Who the program is: the one place for its names, version and the maker's lines.
#pragma once

// Shown in the banners and given to Vulkan as the application and engine name.
#define BRISOL_DISPLAY_NAME "Brisol"
// The command and the XML root element.
#define BRISOL_COMMAND_NAME "brisol"
#define BRISOL_VERSION_MAJOR 0
#define BRISOL_VERSION_MINOR 3
#define BRISOL_VERSION_PATCH 0

#define BRISOL_WEB_ADDRESS "https://brisol.example.org/"

// The maker's lines. They also stand inside XML comments, so none may hold two hyphens in a row.
#define BRISOL_COPYRIGHT_TEXT_FORMAT "\nCopyright (C) 2026 The Brisol developers - %s"
#define BRISOL_COPYRIGHT_XML_FORMAT "\nCopyright (C) 2026 The Brisol developers, %s"
#define BRISOL_CONTACT_LINE "\nContact: brisol@example.org"
#define BRISOL_NEWS_LINES "\nMore news about Vulkan:\nhttps://brisol.example.org/vulkan/"
