#!/usr/bin/python3
"""Gathers the builds' release archives into one release folder.

Usage: gather-release.py --out DIR BUILD-DIST-DIR...

Copies each build's install and symbols archives (cmake/Package.cmake) into
DIR and writes SHA256SUMS over them. When the distributor provides a key,
the launcher in each install archive is first signed with Authenticode
(SHA-256, by osslsigncode) and the archive packed anew around it. The key
comes from the environment, in either of two forms:

  SIGN_PKCS12=FILE SIGN_PASSWORD_FILE=FILE          a PKCS#12 file
  SIGN_PKCS11_MODULE=FILE SIGN_PKCS11_KEY=URI        a key on a token or HSM
  SIGN_PKCS11_CERT=URI-OR-FILE SIGN_PIN_FILE=FILE    (PKCS#11 URIs)

and optionally SIGN_TIMESTAMP_URL, an RFC 3161 time-stamp server. Passwords
and PINs are read from files, never taken on a command line, where other
users would see them. Without a time stamp the signing time is the commit's
(SOURCE_DATE_EPOCH), so that a signed release is as reproducible as an
unsigned one.

DIR is written whole or not at all: everything goes to a folder beside it,
which takes DIR's name only when every archive is done.
"""

import argparse
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

from cryptography import x509
from cryptography.hazmat.primitives.serialization import pkcs7
from cryptography.x509.oid import ExtendedKeyUsageOID

import release
from release import EXECUTABLE_NAME

DESCRIPTION = "Valdrenne Launcher"
# The PKCS#11 engine of OpenSSL (Debian's libengine-pkcs11-openssl), in the
# engines folder of the OpenSSL installed, as `openssl version -e` names it.
PKCS11_ENGINE_NAME = "pkcs11.so"
ENGINES_DIR = re.compile(r'^ENGINESDIR: "([^"]*)"', re.MULTILINE)


class ReleaseError(Exception):
    pass


def existing_file(variable):
    path = os.environ.get(variable, "")
    if not path:
        raise ReleaseError("%s is not set" % variable)
    if not os.path.isfile(path):
        raise ReleaseError("%s names no file: %s" % (variable, path))
    return path


def default_pkcs11_engine():
    output = subprocess.run(["openssl", "version", "-e"], capture_output=True, text=True, check=False).stdout
    folder = ENGINES_DIR.search(output)
    if not folder:
        raise ReleaseError("openssl version -e names no engines folder; set SIGN_PKCS11_ENGINE")
    return os.path.join(folder.group(1), PKCS11_ENGINE_NAME)


def signing_options():
    """osslsigncode's key options from the environment; None when no key is given."""
    if os.environ.get("SIGN_PKCS12"):
        return ["-pkcs12", existing_file("SIGN_PKCS12"), "-readpass", existing_file("SIGN_PASSWORD_FILE")]
    if os.environ.get("SIGN_PKCS11_MODULE"):
        certificate = os.environ.get("SIGN_PKCS11_CERT", "")
        if certificate.startswith("pkcs11:"):
            certificate_options = ["-pkcs11cert", certificate]
        else:
            certificate_options = ["-certs", existing_file("SIGN_PKCS11_CERT")]
        key = os.environ.get("SIGN_PKCS11_KEY", "")
        if not key.startswith("pkcs11:"):
            raise ReleaseError("SIGN_PKCS11_KEY must be a PKCS#11 URI (pkcs11:...), not %r" % key)
        engine = os.environ.get("SIGN_PKCS11_ENGINE") or default_pkcs11_engine()
        if not os.path.isfile(engine):
            raise ReleaseError("no PKCS#11 engine at %s (SIGN_PKCS11_ENGINE)" % engine)
        return ["-pkcs11engine", engine, "-pkcs11module", existing_file("SIGN_PKCS11_MODULE"),
                *certificate_options, "-key", key, "-readpass", existing_file("SIGN_PIN_FILE")]
    for variable in ("SIGN_PASSWORD_FILE", "SIGN_PKCS11_KEY", "SIGN_PKCS11_CERT", "SIGN_PIN_FILE"):
        if os.environ.get(variable):
            raise ReleaseError("%s is set, but neither SIGN_PKCS12 nor SIGN_PKCS11_MODULE" % variable)
    return None


def check_code_signing_certificate(signed_path, work):
    """The signer's certificate (the one that is no CA) must allow code signing:
    Windows refuses the signature otherwise."""
    signature = os.path.join(work, "signature.pem")
    run(["osslsigncode", "extract-signature", "-pem", "-in", signed_path, "-out", signature], "reading the signature")
    with open(signature, "rb") as source:
        certificates = pkcs7.load_pem_pkcs7_certificates(source.read())
    for certificate in certificates:
        try:
            if certificate.extensions.get_extension_for_class(x509.BasicConstraints).value.ca:
                continue
        except x509.ExtensionNotFound:
            pass
        try:
            usages = certificate.extensions.get_extension_for_class(x509.ExtendedKeyUsage).value
        except x509.ExtensionNotFound:
            usages = []
        if ExtendedKeyUsageOID.CODE_SIGNING not in usages:
            raise ReleaseError("the certificate %s is not for code signing (no codeSigning extended key usage)" %
                               certificate.subject.rfc4514_string())


def run(command, what):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise ReleaseError("%s failed:\n%s%s" % (what, result.stdout, result.stderr))


def sign_image(image_bytes, options, epoch, work):
    unsigned = os.path.join(work, "unsigned.exe")
    signed = os.path.join(work, "signed.exe")
    with open(unsigned, "wb") as target:
        target.write(image_bytes)
    command = ["osslsigncode", "sign", *options, "-h", "sha256", "-n", DESCRIPTION]
    timestamp_url = os.environ.get("SIGN_TIMESTAMP_URL")
    if timestamp_url:
        command += ["-ts", timestamp_url]
    else:
        command += ["-time", str(epoch)]
    run(command + ["-in", unsigned, "-out", signed], "signing (a wrong password or PIN?)")
    check_code_signing_certificate(signed, work)
    with open(signed, "rb") as source:
        return source.read()


def gather(build_dists, staging, options):
    epoch = release.commit_time() or 0
    for build_dist in build_dists:
        for archive in sorted(glob.glob(os.path.join(build_dist, "*.zip"))):
            target = os.path.join(staging, os.path.basename(archive))
            with zipfile.ZipFile(archive) as source:
                names = source.namelist()
                if options is None or EXECUTABLE_NAME not in names:
                    shutil.copyfile(archive, target)
                    continue
                entries = {name: source.read(name) for name in names}
                date_time = source.getinfo(EXECUTABLE_NAME).date_time
            with tempfile.TemporaryDirectory() as work:
                entries[EXECUTABLE_NAME] = sign_image(entries[EXECUTABLE_NAME], options, epoch, work)
            # Packed as the build packs it.
            release.write_zip(target, entries, date_time)
    sums = []
    for name in sorted(os.listdir(staging)):
        with open(os.path.join(staging, name), "rb") as archive:
            sums.append("%s  %s\n" % (hashlib.sha256(archive.read()).hexdigest(), name))
    with open(os.path.join(staging, "SHA256SUMS"), "w") as sums_file:
        sums_file.writelines(sums)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("build_dists", nargs="+")
    arguments = parser.parse_args()

    out = os.path.abspath(arguments.out)
    staging = tempfile.mkdtemp(prefix=os.path.basename(out) + ".partial.", dir=os.path.dirname(out))
    try:
        options = signing_options()
        gather(arguments.build_dists, staging, options)
        os.chmod(staging, 0o755)
        shutil.rmtree(out, ignore_errors=True)
        os.rename(staging, out)
    except ReleaseError as error:
        shutil.rmtree(staging)
        print("release: %s\nrelease: nothing written to %s" % (error, arguments.out), file=sys.stderr)
        return 1
    except BaseException:
        shutil.rmtree(staging)
        raise
    if options is None:
        print("release: the archives are NOT signed (no SIGN_PKCS12 or SIGN_PKCS11_MODULE given)")
    else:
        print("release: each %s signed with Authenticode (SHA-256)" % EXECUTABLE_NAME)
    return 0


if __name__ == "__main__":
    sys.exit(main())
