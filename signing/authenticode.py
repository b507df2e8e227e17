#!/usr/bin/env python3
"""Authenticode signatures for what ships: the build's one way of signing a program.

  authenticode.py configure DIR --maker NAME --program-name NAME --osslsigncode PATH [key options]
      At configure time: checks the choice of key and writes DIR/signing.json (only when it changes).
      A test build (--signing test, the default) signs with a throwaway authority of its own, made
      once in DIR/test-authority; a release (--signing release) with the maker's key, from a PKCS#12
      file and a password file, or from a PKCS#11 token, and never with a test key.
  authenticode.py sign CONFIG FILE
      Signs FILE in place with the key that CONFIG (a signing.json) names: a SHA-256 digest, the
      product's name and URL, an RFC 3161 time stamp where a server is named. osslsigncode writes a
      new file, which then replaces FILE. A FILE that cannot be signed is deleted, so that no
      unsigned program is left where the build puts a signed one.
"""
import argparse
import hashlib
import json
import os
import secrets
import shutil
import subprocess
import sys
import tempfile

# The files of a throwaway authority.
AUTHORITY_PEM = "authority.pem"
AUTHORITY_DER = "authority.cer"  # the form Windows' certificate import takes
SIGNER_CHAIN = "signer-chain.pem"  # the code-signing certificate, then the authority's
SIGNER_KEY = "signer.key"
TEST_AUTHORITY_DIR = "test-authority"
CONFIG_FILE = "signing.json"
VALID_DAYS = "3650"  # longer than a build tree lives: a test signature has no time stamp


class SigningError(Exception):
    pass


def openssl(*args, cwd=None):
    result = subprocess.run(["openssl", *args], cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != 0:
        raise SigningError(f"openssl {args[0]} failed: {result.stderr.strip()}")
    return result.stdout


def make_test_authority(folder, maker):
    """A throwaway authority in FOLDER, named so that its signatures are plainly test signatures.

    The authority's own key is thrown away once it has issued the one code-signing certificate: it can
    vouch for nothing else, even where someone trusts it on a test PC; and it may sign code only."""
    parent = os.path.dirname(os.path.abspath(folder))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".authority-", dir=parent)
    try:
        os.chmod(work, 0o700)
        tag = secrets.token_hex(4)
        openssl("req", "-x509", "-newkey", "rsa:3072", "-nodes", "-keyout", "authority.key",
                "-out", AUTHORITY_PEM, "-days", VALID_DAYS, "-sha256",
                "-subj", f"/O={maker}/OU=Test signing/CN={maker} test authority {tag}",
                "-addext", "basicConstraints=critical,CA:TRUE,pathlen:0",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                "-addext", "extendedKeyUsage=codeSigning", cwd=work)
        openssl("req", "-new", "-newkey", "rsa:3072", "-nodes", "-keyout", SIGNER_KEY, "-out", "signer.csr",
                "-subj", f"/O={maker}/OU=Test signing {tag}/CN={maker} (test signature, not for release)",
                cwd=work)
        with open(os.path.join(work, "signer.ext"), "w", encoding="utf-8") as ext:
            ext.write("basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                      "extendedKeyUsage=codeSigning\nsubjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n")
        openssl("x509", "-req", "-in", "signer.csr", "-CA", AUTHORITY_PEM, "-CAkey", "authority.key", "-sha256",
                "-set_serial", "0x" + secrets.token_hex(15), "-days", VALID_DAYS, "-extfile", "signer.ext",
                "-out", "signer.pem", cwd=work)
        openssl("x509", "-in", AUTHORITY_PEM, "-outform", "DER", "-out", AUTHORITY_DER, cwd=work)
        with open(os.path.join(work, SIGNER_CHAIN), "w", encoding="ascii") as chain:
            for name in ("signer.pem", AUTHORITY_PEM):
                with open(os.path.join(work, name), encoding="ascii") as part:
                    chain.write(part.read())
        for name in ("authority.key", "signer.csr", "signer.ext", "signer.pem"):
            os.remove(os.path.join(work, name))
        os.chmod(os.path.join(work, SIGNER_KEY), 0o600)
        os.chmod(work, 0o755)
        os.rename(work, folder)  # whole or not at all: an interrupted run leaves no half authority
    except BaseException:
        shutil.rmtree(work, ignore_errors=True)
        raise


def file_digest(*paths):
    digest = hashlib.sha256()
    for path in paths:
        with open(path, "rb") as content:
            digest.update(content.read())
    return digest.hexdigest()


def need_file(variable, path):
    if not os.path.isfile(path):
        raise SigningError(f"{variable}: no such file: {path}")
    return os.path.abspath(path)


def check_pkcs12(path, password_file):
    """Whether the password opens the file: said at configure time rather than at the first signing.
    Files exported by older Windows use algorithms that OpenSSL 3 keeps in its legacy provider."""
    errors = []
    for legacy in ([], ["-legacy"]):
        try:
            openssl("pkcs12", *legacy, "-in", path, "-passin", f"file:{password_file}", "-noout")
            return
        except SigningError as error:
            errors.append(str(error))
    raise SigningError(f"KELVANE_SIGN_PKCS12: the password in {password_file} does not open {path}, or it is "
                       f"not a PKCS#12 file ({errors[-1]})")


def release_key(options):
    pkcs12, token = options.pkcs12, options.pkcs11_module or options.pkcs11_key
    if not pkcs12 and not token:
        raise SigningError(
            "KELVANE_SIGNING=release signs with the maker's key, and none is named: set KELVANE_SIGN_PKCS12 "
            "and KELVANE_SIGN_PASSWORD_FILE (a certificate file), or KELVANE_SIGN_PKCS11_MODULE, "
            "KELVANE_SIGN_PKCS11_KEY and KELVANE_SIGN_CERTS (a token). "
            "A release is never signed with a test key.")
    if pkcs12 and token:
        raise SigningError("KELVANE_SIGNING=release names both a PKCS#12 file and a token: choose one")
    if pkcs12:
        if not options.password_file:
            raise SigningError("KELVANE_SIGN_PKCS12 needs KELVANE_SIGN_PASSWORD_FILE, the file that holds its "
                               "password")
        key = {"kind": "pkcs12", "file": need_file("KELVANE_SIGN_PKCS12", pkcs12),
               "password_file": need_file("KELVANE_SIGN_PASSWORD_FILE", options.password_file)}
        check_pkcs12(key["file"], key["password_file"])
        return key, file_digest(key["file"])
    if not options.pkcs11_module or not options.pkcs11_key.startswith("pkcs11:") or not options.certs:
        raise SigningError("a token needs KELVANE_SIGN_PKCS11_MODULE (its PKCS#11 module), "
                           "KELVANE_SIGN_PKCS11_KEY (the key, a pkcs11: URI) and KELVANE_SIGN_CERTS (the maker's "
                           "certificate and its chain, PEM)")
    key = {"kind": "pkcs11", "module": need_file("KELVANE_SIGN_PKCS11_MODULE", options.pkcs11_module),
           "key": options.pkcs11_key, "certs": need_file("KELVANE_SIGN_CERTS", options.certs)}
    if options.password_file:  # the PIN; without one the module must log in by itself
        key["password_file"] = need_file("KELVANE_SIGN_PASSWORD_FILE", options.password_file)
    return key, file_digest(key["certs"]) + ":" + key["key"]


def configure(options):
    if options.signing not in ("test", "release"):
        raise SigningError(f"KELVANE_SIGNING must be test or release, not \"{options.signing}\"")
    urls = ((options.url, "KELVANE_PRODUCT_URL"), (options.timestamp_url, "KELVANE_SIGN_TIMESTAMP_URL"))
    for url, variable in urls:
        if url and not url.startswith(("https://", "http://")):
            raise SigningError(f"{variable} must be an http:// or https:// URL, not \"{url}\"")
    if options.signing == "release":
        key, fingerprint = release_key(options)
        if not options.timestamp_url and not options.without_timestamp:
            raise SigningError(
                "a release signature needs a time stamp (without one it stops being valid when the certificate "
                "expires): set KELVANE_SIGN_TIMESTAMP_URL to the RFC 3161 server of the certificate's issuer, or "
                "KELVANE_SIGN_WITHOUT_TIMESTAMP=ON for a trial signing that does not ship")
    else:
        named = [variable for variable, value in (
            ("KELVANE_SIGN_PKCS12", options.pkcs12), ("KELVANE_SIGN_PKCS11_MODULE", options.pkcs11_module),
            ("KELVANE_SIGN_PKCS11_KEY", options.pkcs11_key)) if value]
        if named:
            raise SigningError(f"{', '.join(named)} names the maker's key, but KELVANE_SIGNING is test: set "
                               "KELVANE_SIGNING=release to sign with it, or clear it")
        authority = os.path.join(options.dir, TEST_AUTHORITY_DIR)
        if not os.path.isdir(authority):
            make_test_authority(authority, options.maker)
        key = {"kind": "test", "certs": os.path.join(authority, SIGNER_CHAIN),
               "key": os.path.join(authority, SIGNER_KEY), "authority": os.path.join(authority, AUTHORITY_PEM)}
        fingerprint = file_digest(key["certs"])
    config = {"osslsigncode": options.osslsigncode, "program_name": options.program_name, "url": options.url,
              "timestamp_url": options.timestamp_url, "key": key, "key_fingerprint": fingerprint}
    text = json.dumps(config, indent=2) + "\n"
    path = os.path.join(options.dir, CONFIG_FILE)
    try:
        with open(path, encoding="utf-8") as old:
            if old.read() == text:
                return  # unchanged: nothing is linked or signed again
    except OSError:
        pass
    os.makedirs(options.dir, exist_ok=True)
    with open(path + ".new", "w", encoding="utf-8") as new:
        new.write(text)
    os.replace(path + ".new", path)


def key_arguments(key):
    if key["kind"] == "test":
        return ["-certs", key["certs"], "-key", key["key"]], "this build tree's test authority"
    if key["kind"] == "pkcs12":
        return (["-pkcs12", key["file"], "-readpass", key["password_file"]],
                f"the maker's PKCS#12 file {key['file']}")
    # OpenSSL's pkcs11 engine (libengine-pkcs11-openssl), found by its name.
    arguments = ["-pkcs11module", key["module"], "-certs", key["certs"], "-key", key["key"]]
    if "password_file" in key:
        arguments += ["-readpass", key["password_file"]]
    return arguments, f"the maker's token key {key['key']} (module {key['module']})"


def sign(config_path, path):
    with open(config_path, encoding="utf-8") as text:
        config = json.load(text)
    key, described = key_arguments(config["key"])
    arguments = [config["osslsigncode"], "sign", "-h", "sha256", "-n", config["program_name"], *key]
    if config["url"]:
        arguments += ["-i", config["url"]]
    if config["timestamp_url"]:
        arguments += ["-ts", config["timestamp_url"]]
    work = tempfile.mkdtemp(prefix=".signing-", dir=os.path.dirname(os.path.abspath(path)))
    signed = os.path.join(work, os.path.basename(path))
    try:
        result = subprocess.run([*arguments, "-in", path, "-out", signed], stdin=subprocess.DEVNULL,
                                capture_output=True, text=True)
        if result.returncode != 0 or not os.path.isfile(signed):
            os.remove(path)
            raise SigningError(f"could not sign {path} with {described}; it is deleted. osslsigncode said:\n"
                               f"{result.stdout.strip()}\n{result.stderr.strip()}")
        shutil.copymode(path, signed)
        os.replace(signed, path)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    setup = commands.add_parser("configure")
    setup.add_argument("dir")
    setup.add_argument("--maker", required=True)
    setup.add_argument("--program-name", required=True)
    setup.add_argument("--osslsigncode", required=True)
    setup.add_argument("--signing", default="test")
    setup.add_argument("--url", default="")
    setup.add_argument("--timestamp-url", default="")
    setup.add_argument("--without-timestamp", action="store_true")
    for option in ("--pkcs12", "--password-file", "--pkcs11-module", "--pkcs11-key", "--certs"):
        setup.add_argument(option, default="")
    signing = commands.add_parser("sign")
    signing.add_argument("config")
    signing.add_argument("file")
    options = parser.parse_args(argv)
    try:
        if options.command == "configure":
            configure(options)
        else:
            sign(options.config, options.file)
    except (SigningError, OSError) as error:
        print(f"authenticode: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
