#!/usr/bin/env python3
"""`make install` and the CMake package, as a release pipeline uses them.

Installs the build tree into a scratch PREFIX (what `make install` runs),
then builds installers with the installed `palisade` from a folder of its
own, and through palisade_add_installer() in a small CMake project.

usage: install_test.py NATIVE_BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

BUILD_DIR = os.path.abspath(sys.argv[1])
PROJECT = '[product]\nname = "Acme Notes"\nversion = "2.1.0"\n\n[[files]]\nfrom = "app/**"\n'


def run(args, cwd, **kwargs):
    result = subprocess.run(args, cwd=cwd, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (" ".join(args), result.returncode, result.stdout, result.stderr))
    return result


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.scratch.name, "prefix")
        run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix], cwd=cls.scratch.name)
        cls.palisade = os.path.join(cls.prefix, "bin", "palisade")
        # Nothing of the build tree may stand in for what the installation lacks.
        cls.environment = dict(os.environ, PATH="/usr/bin:/bin")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_the_installation_holds_the_builder_engine_docs_and_cmake_package(self):
        for relative in ["bin/palisade", "share/palisade/palisade-engine.exe", "share/palisade/palisade-engine-x64.exe",
                         "share/doc/palisade/project-file.md",
                         "share/doc/palisade/builder.md", "share/doc/palisade/ci.md",
                         "share/doc/palisade/palisade.schema.json", "share/palisade/cmake/PalisadeConfig.cmake",
                         "share/palisade/cmake/PalisadeConfigVersion.cmake"]:
            with self.subTest(relative):
                self.assertTrue(os.path.isfile(os.path.join(self.prefix, relative)))
        self.assertFalse(os.path.exists(os.path.join(self.prefix, "bin", "palisade-engine.exe")))

    def test_the_installed_builder_builds_from_any_folder(self):
        folder = os.path.join(self.scratch.name, "elsewhere", "Acme Notes")
        write(os.path.join(folder, "bin", "notes.exe"), "a program")
        write(os.path.join(folder, "readme.txt"), "read me")
        run([self.palisade, "init"], cwd=folder, env=self.environment)
        build = run([self.palisade, "build", "palisade.toml", "-o", "../AcmeNotesSetup.exe"], cwd=folder,
                    env=self.environment)
        self.assertIn("2 files", build.stdout)
        inspect = run([self.palisade, "inspect", "../AcmeNotesSetup.exe"], cwd=folder, env=self.environment)
        self.assertRegex(inspect.stdout, r"target = .%InstallDir%\\{1,2}bin\\{1,2}notes\.exe")

    def test_a_cmake_project_builds_its_installer_as_a_target(self):
        source = os.path.join(self.scratch.name, "cmake-project")
        binary = os.path.join(self.scratch.name, "cmake-build")
        write(os.path.join(source, "packaging", "palisade.toml"), PROJECT.replace("app/**", "../app/**"))
        write(os.path.join(source, "app", "notes.txt"), "first")
        write(os.path.join(source, "CMakeLists.txt"),
              "cmake_minimum_required(VERSION 3.20)\n"
              "project(acme_notes NONE)\n"
              "find_package(Palisade 0.1 REQUIRED)\n"
              "palisade_add_installer(AcmeNotesSetup PROJECT packaging/palisade.toml OUTPUT dist/AcmeNotesSetup.exe\n"
              "  OPTIONS --jobs 2 ALL)\n")
        run(["cmake", "-S", source, "-B", binary, "-DCMAKE_PREFIX_PATH=" + self.prefix], cwd=source,
            env=self.environment)
        installer = os.path.join(binary, "dist", "AcmeNotesSetup.exe")

        def build_and_stamp():
            run(["cmake", "--build", binary], cwd=source, env=self.environment)
            return os.stat(installer).st_mtime_ns

        built = build_and_stamp()
        self.assertEqual(build_and_stamp(), built, "nothing changed, yet the installer was built again")
        time.sleep(0.01)
        write(os.path.join(source, "app", "notes.txt"), "second")
        rebuilt = build_and_stamp()
        self.assertNotEqual(rebuilt, built, "a packed file changed, yet the installer was not built again")
        extracted = os.path.join(self.scratch.name, "extracted")
        run([self.palisade, "extract", installer, "-o", extracted], cwd=source, env=self.environment)
        with open(os.path.join(extracted, "notes.txt"), encoding="utf-8") as f:
            self.assertEqual(f.read(), "second")
        time.sleep(0.01)
        with open(os.path.join(source, "packaging", "palisade.toml"), "a", encoding="utf-8") as f:
            f.write('\n[wizard]\nheading = "Notes"\n')
        self.assertNotEqual(build_and_stamp(), rebuilt, "the project changed, yet the installer was not built again")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
