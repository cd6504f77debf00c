"""What the release scripts and the package checks share: the names of the
shipped files, the launcher's version, the commit's time and the way an
archive is written.

Imported by tools/pack-release.py, tools/gather-release.py,
tools/make-notices.py and tests/image/check_*.py. Run as a program, it prints
the commit's time for tools/dist.sh:

    /usr/bin/python3 tools/release.py commit-time
"""

import datetime
import os
import re
import subprocess
import sys
import zipfile

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXECUTABLE_NAME = "Valdrenne.exe"
DEBUG_NAME = EXECUTABLE_NAME + ".debug"
INSTALLER_TEXT_NAME = "README.txt"
NOTICES_NAME = "NOTICES.txt"
# Columns of the plain texts in the install archive.
TEXT_WIDTH = 79

ZIP_EPOCH = datetime.datetime(1980, 1, 1, tzinfo=datetime.timezone.utc)  # the earliest time a zip entry holds
COMPRESS_LEVEL = 9
FILE_MODE = 0o100644
ZIP_UNIX_SYSTEM = 3  # the system whose permissions external_attr holds

PROJECT_VERSION = re.compile(r"^project\(\s*Valdrenne\s+VERSION\s+([0-9.]+)", re.MULTILINE)


def project_version(source_dir=SOURCE_DIR):
    """The file version major.minor.patch.tweak that project() in
    CMakeLists.txt sets, as cmake/Version.cmake reads it (tweak 0 when unset)."""
    with open(os.path.join(source_dir, "CMakeLists.txt"), encoding="utf-8") as cmake_lists:
        found = PROJECT_VERSION.search(cmake_lists.read())
    if found is None:
        raise ValueError("CMakeLists.txt has no project(Valdrenne VERSION ...)")
    parts = found.group(1).split(".")
    return ".".join(parts + ["0"] * (4 - len(parts)))


def release_version(file_version):
    """major.minor.patch of a file version: the version in the archive names."""
    return ".".join(file_version.split(".")[:3])


def major_minor(version):
    """major.minor of a version: the name of the launcher's data folder."""
    return ".".join(version.split(".")[:2])


def installer_title(version, platform):
    return "Valdrenne launcher %s (%s)" % (version, platform)


def commit_time(source_dir=SOURCE_DIR):
    """SOURCE_DATE_EPOCH when set, else the time of the checkout's commit;
    None when neither is known."""
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value:
        return int(value)
    try:
        return int(subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], check=True,
                                  capture_output=True, text=True).stdout.strip())
    except (OSError, ValueError, subprocess.CalledProcessError):
        return None


def zip_date_time(epoch):
    """An archive entry's time stamp for a moment (seconds since 1970)."""
    moment = datetime.datetime.fromtimestamp(epoch or 0, datetime.timezone.utc)
    return max(moment, ZIP_EPOCH).timetuple()[:6]


def write_zip(path, entries, date_time):
    """entries: {archive name: bytes}, written in name order, each with the
    same time stamp, permissions and compression, so that the same entries
    give the same bytes."""
    with zipfile.ZipFile(path, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = ZIP_UNIX_SYSTEM
            info.external_attr = FILE_MODE << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, entries[name], compresslevel=COMPRESS_LEVEL)


def windows_text(lines):
    """Lines as UTF-8 with Windows line ends, as the install archive's texts."""
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def main(arguments):
    if arguments != ["commit-time"]:
        sys.exit("usage: release.py commit-time")
    epoch = commit_time()
    if epoch is None:
        sys.exit("release: not a git checkout; set SOURCE_DATE_EPOCH to the release's time")
    print(epoch)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
