// The fixed texts that frame the reports.
#pragma once

void write_help_screen();
void write_text_header();
void write_text_footer();
void write_xml_prolog();
void write_xml_epilogue();
