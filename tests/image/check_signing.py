#!/usr/bin/python3
"""Checks the signing of a release, with keys made for the test.

Usage: check_signing.py --build-dist DIR --loader loader.dll --file-version V

Makes a throwaway CA and a code-signing certificate with openssl, and uses
the key once as a PKCS#12 file and once from a software token (SoftHSM2,
through OpenSSL's PKCS#11 engine). Each way, tools/gather-release.py signs
the build's archives: the signed launcher verifies against the CA and
carries a valid PE checksum, two runs give identical archives, one byte
changed anywhere in the image is found, and the signed launcher still
starts from its unpacked archive under Wine (run inside tools/with-wine.sh).
A certificate without the code-signing purpose, a wrong password and a
missing file each stop the release with a message and leave no folder.
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile
import zlib

import pefile

import check_image
import check_package

TOOLS_DIR = check_package.TOOLS_DIR
GATHER = os.path.join(TOOLS_DIR, "gather-release.py")
EXECUTABLE_NAME = check_image.EXECUTABLE_NAME
SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"
PASSWORD = "pkcs12 password"
PIN = "4321"
SO_PIN = "87654321"
TOKEN = "valdrenne-test"
KEY_LABEL = "signer"
KEY_ID = "01"
# The commit time the archives carry, and the signing time without a time stamp.
EPOCH = "1700000000"

OPENSSL_CONFIG = """
[req]
distinguished_name = name
[name]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
[code_signing]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
[server_only]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
"""


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, **options)


def write(path, text):
    with open(path, "w") as target:
        target.write(text)
    return path


class Keys:
    """A CA, a code-signing key with its certificate, and a certificate for
    the same key that is not for code signing."""

    def __init__(self, work):
        self.work = work
        config = write(self.path("openssl.cnf"), OPENSSL_CONFIG)
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.path("ca.key"), "-out",
             self.path("ca.pem"), "-subj", "/CN=Valdrenne Test CA", "-days", "2", "-config", config, "-extensions",
             "ca"])
        run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", self.path("signer.key"), "-out",
             self.path("signer.csr"), "-subj", "/CN=Valdrenne Test Signer", "-config", config])
        for name, extensions in (("signer.pem", "code_signing"), ("server.pem", "server_only")):
            run(["openssl", "x509", "-req", "-in", self.path("signer.csr"), "-CA", self.path("ca.pem"), "-CAkey",
                 self.path("ca.key"), "-set_serial", str(len(name)), "-out", self.path(name), "-days", "2",
                 "-extfile", config, "-extensions", extensions])
        self.password_file = write(self.path("password.txt"), PASSWORD + "\n")
        self.pin_file = write(self.path("pin.txt"), PIN + "\n")
        for name, certificate in (("signer.p12", "signer.pem"), ("server.p12", "server.pem")):
            run(["openssl", "pkcs12", "-export", "-inkey", self.path("signer.key"), "-in", self.path(certificate),
                 "-out", self.path(name), "-passout", "file:" + self.password_file])

    def path(self, name):
        return os.path.join(self.work, name)

    def make_token(self):
        """A SoftHSM2 token holding the key and its certificate; the environment to reach it."""
        tokens = os.path.join(self.work, "tokens")
        os.makedirs(tokens)
        config = write(self.path("softhsm2.conf"),
                       "directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n" % tokens)
        environment = dict(os.environ, SOFTHSM2_CONF=config)
        run(["softhsm2-util", "--init-token", "--free", "--label", TOKEN, "--so-pin", SO_PIN, "--pin", PIN],
            env=environment)
        run(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", self.path("signer.key"), "-out",
             self.path("signer.pk8")])
        run(["softhsm2-util", "--import", self.path("signer.pk8"), "--token", TOKEN, "--label", KEY_LABEL, "--id",
             KEY_ID, "--pin", PIN], env=environment)
        run(["openssl", "x509", "-in", self.path("signer.pem"), "-outform", "DER", "-out", self.path("signer.der")])
        run(["pkcs11-tool", "--module", SOFTHSM_MODULE, "--token-label", TOKEN, "--login", "--pin", PIN,
             "--write-object", self.path("signer.der"), "--type", "cert", "--id", KEY_ID, "--label", KEY_LABEL],
            env=environment)
        return environment


def gather(out, build_dist, signing):
    environment = {name: value for name, value in os.environ.items() if not name.startswith("SIGN_")}
    environment.update(signing, SOURCE_DATE_EPOCH=EPOCH)
    return subprocess.run([sys.executable, GATHER, "--out", out, build_dist], env=environment, capture_output=True,
                          text=True)


def read_zip_entry(path, name):
    with zipfile.ZipFile(path) as archive:
        return archive.read(name)


def verifies(image_path, ca_path):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca_path, "-in", image_path], capture_output=True,
                            text=True)
    return result.returncode == 0


def tampered_offsets(image):
    """(what, file offset) of one byte in each part of the signed image."""
    pe = pefile.PE(data=image)
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    offsets = [("DOS header", 2), ("PE header", pe.FILE_HEADER.get_file_offset() + 4),
               ("signature", security.VirtualAddress + security.Size // 2)]
    offsets += [("section %s" % check_image.section_name(pe, section).decode(),
                 section.PointerToRawData + section.SizeOfRawData // 2) for section in pe.sections
                if section.SizeOfRawData]
    return offsets


def check_signed_release(c, keys, out, build_dist, signing, arguments, work):
    first = gather(out, build_dist, signing)
    if not c.check("release written", first.returncode, 0):
        print(first.stdout + first.stderr)
        return
    with open(os.path.join(out, "SHA256SUMS")) as sums:
        first_sums = sums.read()
    archives = sorted(glob.glob(os.path.join(out, "*.zip")))
    c.check("SHA256SUMS covers the archives as shipped",
            sorted(line.split()[1] for line in first_sums.splitlines()), [os.path.basename(a) for a in archives])
    c.check("SHA256SUMS matches", run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=out).returncode, 0)
    install = [a for a in archives if not a.endswith("-symbols.zip")][0]
    image = read_zip_entry(install, EXECUTABLE_NAME)
    image_path = os.path.join(work, EXECUTABLE_NAME)
    with open(image_path, "wb") as target:
        target.write(image)
    c.expect("the launcher verifies against the CA", verifies(image_path, keys.path("ca.pem")))
    c.expect("the signed image's PE checksum is valid", pefile.PE(data=image).verify_checksum())

    for what, offset in tampered_offsets(image):
        changed = bytearray(image)
        changed[offset] ^= 0x01
        with open(image_path, "wb") as target:
            target.write(changed)
        c.expect("one byte changed in the %s: verification fails" % what,
                 not verifies(image_path, keys.path("ca.pem")))
    # The signature leaves the checksum field out of what it signs; the checksum itself tells.
    changed = bytearray(image)
    changed[pefile.PE(data=image).OPTIONAL_HEADER.get_file_offset() + 64] ^= 0x01
    c.expect("one byte changed in the checksum field: the checksum fails", not pefile.PE(data=changed).verify_checksum())

    second = gather(out, build_dist, signing)
    with open(os.path.join(out, "SHA256SUMS")) as sums:
        c.check("a second signed release is identical", (second.returncode, sums.read()), (0, first_sums))

    symbols = [a for a in archives if a.endswith("-symbols.zip")][0]
    debug = read_zip_entry(symbols, check_package.DEBUG_NAME)
    link = check_package.debug_link(pefile.PE(data=image))
    c.check("the debug link still matches the symbols file", link and link[1],
            zlib.crc32(debug) & 0xFFFFFFFF)

    launch = argparse.Namespace(zip=install, loader=arguments.loader, file_version=arguments.file_version)
    check_package.check_launch(c, launch)


def check_refused(c, out, build_dist, what, signing, message):
    result = gather(out, build_dist, signing)
    c.check("%s: the release stops" % what, result.returncode, 1)
    c.expect("%s: says why" % what, message in result.stderr, result.stderr)
    leftovers = [name for name in os.listdir(os.path.dirname(out)) if name.startswith(os.path.basename(out))]
    c.check("%s: no folder left" % what, leftovers, [])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dist", required=True)
    parser.add_argument("--loader", required=True)
    parser.add_argument("--file-version", required=True)
    arguments = parser.parse_args()

    c = check_image.Checker()
    work = tempfile.mkdtemp(prefix="valdrenne-signing.")
    try:
        keys = Keys(work)
        out = os.path.join(work, "release")
        pkcs12 = {"SIGN_PKCS12": keys.path("signer.p12"), "SIGN_PASSWORD_FILE": keys.password_file}
        print("== signed with a PKCS#12 file")
        check_signed_release(c, keys, out, arguments.build_dist, pkcs12, arguments, work)

        print("== signed with a key on a software token")
        token_environment = keys.make_token()
        uri = "pkcs11:token=%s;object=%s" % (TOKEN, KEY_LABEL)
        pkcs11 = {"SOFTHSM2_CONF": token_environment["SOFTHSM2_CONF"], "SIGN_PKCS11_MODULE": SOFTHSM_MODULE,
                  "SIGN_PKCS11_KEY": uri + ";type=private", "SIGN_PKCS11_CERT": uri + ";type=cert",
                  "SIGN_PIN_FILE": keys.pin_file}
        check_signed_release(c, keys, out, arguments.build_dist, pkcs11, arguments, work)

        print("== refused")
        shutil.rmtree(out)
        check_refused(c, out, arguments.build_dist, "certificate not for code signing",
                      dict(pkcs12, SIGN_PKCS12=keys.path("server.p12")), "not for code signing")
        check_refused(c, out, arguments.build_dist, "wrong password",
                      dict(pkcs12, SIGN_PASSWORD_FILE=write(keys.path("wrong.txt"), "wrong\n")), "wrong password")
        check_refused(c, out, arguments.build_dist, "missing PKCS#12 file",
                      dict(pkcs12, SIGN_PKCS12=keys.path("missing.p12")), "SIGN_PKCS12 names no file")
        check_refused(c, out, arguments.build_dist, "wrong PIN",
                      dict(pkcs11, SIGN_PIN_FILE=write(keys.path("wrong-pin.txt"), "0000\n")), "wrong password or PIN")
    finally:
        shutil.rmtree(work)
    return check_image.report(c)


if __name__ == "__main__":
    sys.exit(main())
