// The fixed texts that frame the reports.
#pragma once

void write_help_screen();
// "Brisol 0.3.0" and a newline, alone: what "-version" prints.
void write_version_line();
void write_text_header();
void write_text_footer();
void write_xml_prolog();
void write_xml_epilogue();
