#!/usr/bin/python3
# Another CardDAV client, in plain HTTP: METHOD URL USER PASSWORD [Name:value...],
# the body on standard input. Prints the status, the ETag and the body.
import base64
import os
import ssl
import sys
import urllib.error
import urllib.request

method, url, user, password = sys.argv[1:5]
body = sys.stdin.buffer.read() or None
request = urllib.request.Request(url, data=body, method=method)
token = base64.b64encode(f"{user}:{password}".encode()).decode()
request.add_header("Authorization", "Basic " + token)
for header in sys.argv[5:]:
    name, value = header.split(":", 1)
    request.add_header(name, value)
context = None
if os.environ.get("OTHERCLIENT_CA"):
    context = ssl.create_default_context(cafile=os.environ["OTHERCLIENT_CA"])
try:
    with urllib.request.urlopen(request, timeout=30, context=context) as answer:
        status, etag, data = answer.status, answer.headers.get("ETag", ""), answer.read()
except urllib.error.HTTPError as error:
    status, etag, data = error.code, error.headers.get("ETag", ""), error.read()
sys.stdout.buffer.write(f"{status}\n{etag}\n".encode() + data)
