# The version from the header's macros, and a wheel tagged for the library's
# platform but for no Python ABI, since nothing here is compiled against Python.
import os
import re

from setuptools import setup
from wheel.bdist_wheel import bdist_wheel

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "include", "tidelink.h")


def version():
    with open(HEADER) as header:
        text = header.read()
    return ".".join(re.search(r"^#define TIDELINK_VERSION_%s +([0-9]+)$" % part, text, re.M).group(1)
                    for part in ("MAJOR", "MINOR", "PATCH"))


class LibraryWheel(bdist_wheel):
    # The library makes the wheel platform-specific; --plat-name names it.
    def finalize_options(self):
        super().finalize_options()
        self.root_is_pure = False

    def get_tag(self):
        return "py3", "none", self.plat_name.replace("-", "_").replace(".", "_")


setup(version=version(), cmdclass={"bdist_wheel": LibraryWheel})
