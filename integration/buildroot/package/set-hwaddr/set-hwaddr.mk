################################################################################
#
# set-hwaddr
#
################################################################################

SET_HWADDR_VERSION = 1.0.0
SET_HWADDR_SITE = $(call qstrip,$(BR2_PACKAGE_SET_HWADDR_SITE))
# No site given: the tarball is in the download folder, where Buildroot takes
# it by its hash and never downloads. A missing one fails there, named.
ifeq ($(SET_HWADDR_SITE),)
SET_HWADDR_SITE = file://$(SET_HWADDR_DL_DIR)
SET_HWADDR_SITE_METHOD = file
endif
SET_HWADDR_LICENSE = Proprietary
SET_HWADDR_LICENSE_FILES = LICENSE
# Closed source: legal-info lists it, and keeps its source out of the bundle.
SET_HWADDR_REDISTRIBUTE = NO
SET_HWADDR_SUPPORTS_IN_SOURCE_BUILD = NO

SET_HWADDR_BOARDCFG_PACKAGE = $(call qstrip,$(BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE))

# Boot files come from the init system's hooks below, not from CMake.
SET_HWADDR_CONF_OPTS = \
	-DBUILD_TESTING=OFF \
	-DINSTALL_SYSTEMD_UNIT=OFF \
	-DINSTALL_INIT_SCRIPT=OFF

# Without the vendor's package the build would have no board library: the
# stand-in is its own choice, never what an empty name falls back to.
ifeq ($(BR2_PACKAGE_SET_HWADDR_BOARDCFG_VENDOR),y)
ifeq ($(SET_HWADDR_BOARDCFG_PACKAGE),)
$(error set-hwaddr: name the board vendor's package that provides libboardcfg.so in BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE, or choose the stand-in, for development boards only)
endif
SET_HWADDR_DEPENDENCIES += $(SET_HWADDR_BOARDCFG_PACKAGE)
SET_HWADDR_CONF_OPTS += \
	-DBOARDCFG_LIBRARY=$(STAGING_DIR)$(call qstrip,$(BR2_PACKAGE_SET_HWADDR_BOARDCFG_LIBRARY))
endif

define SET_HWADDR_INSTALL_TARGET_CMDS
	DESTDIR=$(TARGET_DIR) $(BR2_CMAKE) --install $(SET_HWADDR_BUILDDIR)
endef

# Before S40network, whose ifup -a brings eth0 up.
define SET_HWADDR_INSTALL_INIT_SYSV
	$(INSTALL) -D -m 0755 $(SET_HWADDR_BUILDDIR)/set-hwaddr.init \
		$(TARGET_DIR)/etc/init.d/S39set-hwaddr
endef

# The unit's condition, which skips it once the file carries the setting.
define SET_HWADDR_INSTALL_INIT_SYSTEMD
	$(INSTALL) -D -m 0644 $(SET_HWADDR_BUILDDIR)/set-hwaddr.service \
		$(TARGET_DIR)/usr/lib/systemd/system/set-hwaddr.service
	$(INSTALL) -D -m 0755 $(SET_HWADDR_BUILDDIR)/setting_present \
		$(TARGET_DIR)/usr/libexec/set-hwaddr/setting_present
endef

$(eval $(cmake-package))
