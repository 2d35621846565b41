# The version the packaging hands over (TIDELINK_VERSION, as CMake reads it
# from the header), also written into the package, and a wheel for the
# library's platform tagged as the packaging says (TIDELINK_WHEEL_TAG):
# py3-none with the ctypes binding alone, cp3N-abi3 with the accelerator.
import os

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel


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
        python, abi = os.environ["TIDELINK_WHEEL_TAG"].split("-")
        return python, abi, self.plat_name


setup(version=os.environ["TIDELINK_VERSION"], distclass=LibraryDistribution,
      cmdclass={"build_py": VersionedBuild, "bdist_wheel": LibraryWheel})
