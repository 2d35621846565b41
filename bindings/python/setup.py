# The version from the header's macros, also written into the package, and a
# wheel for the library's platform that names no Python ABI.
import os
import re

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "include", "tidelink.h")


def version():
    with open(HEADER) as header:
        text = header.read()
    return ".".join(re.search(r"^#define TIDELINK_VERSION_%s +([0-9]+)$" % part, text, re.M).group(1)
                    for part in ("MAJOR", "MINOR", "PATCH"))


class VersionedBuild(build_py):
    # Python 3.7 has no importlib.metadata to read it from the installed package.
    def run(self):
        super().run()
        with open(os.path.join(self.build_lib, "tidelink", "_version.py"), "w") as out:
            out.write('__version__ = "%s"\n' % self.distribution.get_version())


class LibraryDistribution(Distribution):
    # The library inside makes the package platform-specific: it installs
    # where compiled code goes, and the wheel is not for any platform.
    def has_ext_modules(self):
        return True


class LibraryWheel(bdist_wheel):
    # --plat-name names the library's platform.
    def get_tag(self):
        return "py3", "none", self.plat_name


setup(version=version(), distclass=LibraryDistribution,
      cmdclass={"build_py": VersionedBuild, "bdist_wheel": LibraryWheel})
