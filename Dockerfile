# A worker image for large batches: Debian 12 with the Quarnel package installed.
# Build the package first (bash scripts/package.sh), then, from the checkout:
#   docker build --build-arg DEB=build-package/quarnel_1.8.1_amd64.deb -t quarnel .
FROM debian:12-slim
ARG DEB
COPY ${DEB} /tmp/quarnel.deb
RUN apt-get update \
 && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends /tmp/quarnel.deb \
 && rm -rf /var/lib/apt/lists/* /tmp/quarnel.deb
# Settings live in the container's own home; a run never writes them.
ENV HOME=/tmp QT_QPA_PLATFORM=offscreen
ENTRYPOINT ["quarnel-cli"]
CMD ["--help"]
