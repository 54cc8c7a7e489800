#!/usr/bin/env python3
"""Checks that no #include in src/ reaches up a floor.

Usage: include_floors.py SRC_FOLDER

Each folder of src/ stands on a floor, and a file may include only files of its own floor or
below, so that the lower layers build and make sense without the higher ones. A folder that is
not in FLOORS fails the check until it is given a floor here. Prints every include that runs
upward and exits with status 1 when there is one.
"""

import os
import re
import sys

FLOORS = {
    'registry': 0,  # the tables generated from vk.xml
    'report': 0,  # the streams, escaping, the program's identity
    'vulkan': 1,  # the loader, the instance, the commands
    'compare': 1,  # comparing two values of a member by its limit type
    'profiles': 1,  # Vulkan Profiles documents: bounded reading, values, requirements
    'query': 2,  # the facts read from Vulkan
    'sections': 3,  # the detailed report's sections
    'views': 4,  # the complete report, the JSON document, the profile check
    'app': 5,  # options, the run, main
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def main(source):
    faults = []
    for folder in sorted(os.listdir(source)):
        path = os.path.join(source, folder)
        if not os.path.isdir(path):
            continue
        if folder not in FLOORS:
            faults.append('src/%s has no floor in tests/include_floors.py' % folder)
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith(('.h', '.cpp')):
                continue
            with open(os.path.join(path, name), encoding='utf-8') as f:
                text = f.read()
            for included in INCLUDE.findall(text):
                if included not in FLOORS:
                    faults.append('src/%s/%s includes from %s/, which has no floor' %
                                  (folder, name, included))
                elif FLOORS[included] > FLOORS[folder]:
                    faults.append('src/%s/%s (floor %d) includes from %s/ (floor %d)' %
                                  (folder, name, FLOORS[folder], included, FLOORS[included]))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
